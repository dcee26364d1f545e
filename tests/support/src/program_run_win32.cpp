#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"

namespace qzr::test {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// A file the child inherits as its standard output or error.
Handle CreateInheritedFile(const std::filesystem::path& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE file = CreateFileA(path.string().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return Handle{file == INVALID_HANDLE_VALUE ? nullptr : file};
}

// Under Wine a new process now and then dies while Wine itself sets it up, before any of its own
// code runs, and CreateProcess then fails with ERROR_INTERNAL_ERROR (about one start in a few
// thousand when both cores are busy). The program never ran, so starting it again is the same
// run; any other failure, and any status of a program that did start, is reported as it is.
constexpr int kStartTries = 3;

std::string LastErrorText(const char* what) {
    return std::string(what) + " failed: Windows error " + std::to_string(GetLastError());
}

}  // namespace

// The program gets exactly the command line a user's shell hands it: its quoted path, a blank,
// then the argument text unchanged.
ProgramRun RunProgram(const std::string& program, const std::string& arguments,
                      const std::filesystem::path& folder) {
    const auto out = folder.parent_path() / (folder.filename().string() + ".out");
    const auto err = folder.parent_path() / (folder.filename().string() + ".err");
    ProgramRun run;
    {
        const Handle outFile = CreateInheritedFile(out);
        const Handle errFile = CreateInheritedFile(err);
        if (outFile == nullptr || errFile == nullptr) {
            run.err = LastErrorText("CreateFileA");
            return run;
        }
        const std::string path =
            (std::filesystem::path(QZR_BIN_DIR) / (program + ".exe")).make_preferred().string();
        std::string commandLine = "\"" + path + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = outFile.get();
        startup.hStdError = errFile.get();
        PROCESS_INFORMATION started{};
        bool created = false;
        for (int attempt = 0; attempt < kStartTries && !created; ++attempt) {
            created = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                     nullptr, folder.string().c_str(), &startup, &started) != 0;
            if (!created && GetLastError() != ERROR_INTERNAL_ERROR) break;
        }
        if (!created) {
            run.err = LastErrorText("CreateProcessA");
            return run;
        }
        const Handle process{started.hProcess};
        const Handle thread{started.hThread};
        DWORD status = 0;
        if (WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0 &&
            GetExitCodeProcess(process.get(), &status)) {
            run.status = static_cast<int>(status);
        }
    }
    run.out = ReadText(out);
    run.err = ReadText(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

const bool kFileNamesKeepTrailingBlanks = false;

std::string QuotedArgument(const std::string& name) { return "\"" + name + "\""; }

}  // namespace qzr::test
