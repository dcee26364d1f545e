#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <type_traits>

#include "qzr/test_support/program_run.h"

namespace qzr::test {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// Under Wine a new process now and then dies while Wine itself sets it up, before any of its own
// code runs, and CreateProcess then fails with ERROR_INTERNAL_ERROR (about one start in a few
// thousand when both cores are busy). The program never ran, so starting it again is the same
// run; any other failure, and any status of a program that did start, is reported as it is.
constexpr int kStartTries = 3;

// Wine's console now and then drops a Ctrl-C when both cores are busy: the program runs on as if
// none had come. While a program that was sent one still runs, Wait sends it again after a
// while, as a user presses Ctrl-C again, a few times at most.
constexpr std::chrono::seconds kInterruptRepeatAfter{3};
constexpr int kInterruptRepeats = 3;

// A child inherits every inheritable handle there is when it starts, so a pipe's writing end
// made inheritable for one child would stay open in every child started meanwhile, and its
// reader would see the end only when the last of them ended. The ends are made inheritable only
// for their own child's start, one start at a time.
std::mutex gStartLock;

std::string LastErrorText(const char* what) {
    return std::string(what) + " failed: Windows error " + std::to_string(GetLastError());
}

// One argument as the C runtime splits a command line: quoted when it is empty or holds a blank
// or a quote; a quote escaped, and the backslashes before a quote (or the closing one) doubled.
std::string QuotedForCommandLine(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

}  // namespace

// Each stream is read by a thread of its own (an anonymous pipe cannot be waited on with a
// time limit); what it reads waits here until Pump hands it over on the caller's thread.
struct ChildProcess::Native {
    Handle process;
    DWORD processId = 0;
    std::mutex lock;
    std::condition_variable arrived;
    std::array<std::string, 2> inbox;  // standard output, standard error
    int open = 0;                      // streams still being read
    std::array<bool, 2> text{true, true};
    std::array<std::thread, 2> readers;
    std::chrono::steady_clock::time_point interruptSent{};
    int interruptRepeatsLeft = 0;

    void Start(const std::string& path, std::string commandLine,
               const std::filesystem::path& folder, std::string& failure);
    void Read(HANDLE pipe, std::size_t stream);
};

void ChildProcess::Native::Read(HANDLE pipe, std::size_t stream) {
    const Handle owned{pipe};
    std::array<char, 4096> buffer{};
    DWORD n = 0;
    bool heldReturn = false;  // a text stream's "\r" at the end of a read, which may end a line
    while (ReadFile(owned.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr) &&
           n > 0) {
        std::string part;
        if (!text[stream]) {
            part.assign(buffer.data(), n);
        } else {
            for (DWORD i = 0; i < n; ++i) {
                if (heldReturn && buffer[i] != '\n') part += '\r';
                heldReturn = buffer[i] == '\r';
                if (!heldReturn) part += buffer[i];
            }
        }
        const std::lock_guard guard(lock);
        inbox[stream] += part;
        arrived.notify_all();
    }
    const std::lock_guard guard(lock);
    if (heldReturn) inbox[stream] += '\r';
    --open;
    arrived.notify_all();
}

void ChildProcess::Native::Start(const std::string& path, std::string commandLine,
                                 const std::filesystem::path& folder, std::string& failure) {
    // Held until every handle made here is closed or owned by a reader.
    const std::lock_guard start(gStartLock);
    std::array<Handle, 2> readEnds;
    std::array<Handle, 2> writeEnds;
    for (std::size_t i = 0; i < 2; ++i) {
        HANDLE read = nullptr;
        HANDLE write = nullptr;
        if (!CreatePipe(&read, &write, nullptr, 0)) {
            failure = LastErrorText("CreatePipe");
            return;
        }
        readEnds[i].reset(read);
        writeEnds[i].reset(write);
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const Handle input{CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    for (const auto& end : writeEnds) SetHandleInformation(end.get(), HANDLE_FLAG_INHERIT, 1);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input.get() == INVALID_HANDLE_VALUE ? nullptr : input.get();
    startup.hStdOutput = writeEnds[0].get();
    startup.hStdError = writeEnds[1].get();
    PROCESS_INFORMATION started{};
    bool created = false;
    for (int attempt = 0; attempt < kStartTries && !created; ++attempt) {
        // A console of its own (hidden), so that Ctrl-C can be sent to it alone.
        created = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_NEW_CONSOLE, nullptr, folder.string().c_str(), &startup,
                                 &started) != 0;
        if (!created && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (!created) {
        failure = LastErrorText("CreateProcessA");
        return;
    }
    process.reset(started.hProcess);
    CloseHandle(started.hThread);
    processId = started.dwProcessId;
    open = 2;
    for (std::size_t i = 0; i < 2; ++i) {
        readers[i] = std::thread(&Native::Read, this, readEnds[i].release(), i);
    }
}

std::string ProgramPath(const std::string& program) {
    return (std::filesystem::path(QZR_BIN_DIR) / (program + ".exe")).make_preferred().string();
}

ChildProcess::ChildProcess(const std::vector<std::string>& args,
                           const std::filesystem::path& folder, OutputKind output)
    : native_(std::make_unique<Native>()) {
    native_->text[0] = output == OutputKind::kText;
    if (args.empty()) {
        err_ = "no program to run";
        return;
    }
    std::string commandLine;
    for (const auto& arg : args) {
        commandLine += (commandLine.empty() ? "" : " ") + QuotedForCommandLine(arg);
    }
    native_->Start(std::filesystem::path(args[0]).make_preferred().string(), commandLine, folder,
                   err_);
}

// The program gets exactly the command line a user's shell hands it: its quoted path, a blank,
// then the argument text unchanged.
ChildProcess::ChildProcess(const std::string& program, const std::string& arguments,
                           const std::filesystem::path& folder)
    : native_(std::make_unique<Native>()) {
    const std::string path = ProgramPath(program);
    native_->Start(path, "\"" + path + "\" " + arguments, folder, err_);
}

ChildProcess::~ChildProcess() {
    if (native_->process != nullptr) {
        TerminateProcess(native_->process.get(), kKilledStatus);
        WaitForSingleObject(native_->process.get(), INFINITE);
    }
    for (auto& reader : native_->readers) {
        if (reader.joinable()) reader.join();
    }
}

bool ChildProcess::Pump(std::chrono::steady_clock::time_point end) {
    std::unique_lock guard(native_->lock);
    const auto handedOver = [this] {
        return !native_->inbox[0].empty() || !native_->inbox[1].empty() || native_->open == 0;
    };
    native_->arrived.wait_until(guard, end, handedOver);
    out_ += native_->inbox[0];
    err_ += native_->inbox[1];
    const bool more = native_->open > 0 || !native_->inbox[0].empty() || !native_->inbox[1].empty();
    native_->inbox[0].clear();
    native_->inbox[1].clear();
    return more;
}

namespace {

// The caller's answer to the Ctrl-C it sends: taken, and nothing done.
BOOL WINAPI SwallowInterrupt(DWORD event) { return event == CTRL_C_EVENT ? TRUE : FALSE; }

// Ctrl-C goes to every program on the caller's console, so the caller goes over to the program's
// own console (each program gets one) to send it, and takes Ctrl-C itself from then on (the event
// reaches it too, at a moment of the console's choosing). A handler, not the flag that ignores
// Ctrl-C: the flag would pass to every program started later. Wine's console takes the event
// only from a program whose standard input is the console's.
void SendInterrupt(DWORD processId) {
    static const bool kTaken = SetConsoleCtrlHandler(&SwallowInterrupt, TRUE) != 0;
    (void)kTaken;
    FreeConsole();
    if (!AttachConsole(processId)) return;
    const Handle input{CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                   nullptr)};
    const HANDLE previous = GetStdHandle(STD_INPUT_HANDLE);
    if (input.get() != INVALID_HANDLE_VALUE) SetStdHandle(STD_INPUT_HANDLE, input.get());
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    SetStdHandle(STD_INPUT_HANDLE, previous);
    FreeConsole();
}

}  // namespace

void ChildProcess::Interrupt() const {
    if (native_->process == nullptr) return;
    SendInterrupt(native_->processId);
    native_->interruptSent = std::chrono::steady_clock::now();
    native_->interruptRepeatsLeft = kInterruptRepeats;
}

int InterruptedStatus() {
    const HMODULE system = GetModuleHandleA("ntdll.dll");
    const bool wine = system != nullptr && GetProcAddress(system, "wine_get_version") != nullptr;
    return wine ? 0 : static_cast<int>(STATUS_CONTROL_C_EXIT);
}

void ChildProcess::Kill() const {
    if (native_->process != nullptr) TerminateProcess(native_->process.get(), kKilledStatus);
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        const bool mayRepeat = native_->interruptRepeatsLeft > 0;
        const auto repeatAt = native_->interruptSent + kInterruptRepeatAfter;
        if (!Pump(mayRepeat ? std::min(end, repeatAt) : end)) break;
        if (mayRepeat && Clock::now() >= repeatAt) {
            if (WaitForSingleObject(native_->process.get(), 0) == WAIT_TIMEOUT) {
                SendInterrupt(native_->processId);
                native_->interruptSent = Clock::now();
                --native_->interruptRepeatsLeft;
            } else {
                native_->interruptRepeatsLeft = 0;  // it has ended; what it wrote is still read
            }
        }
    }
    if (native_->process == nullptr) return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (WaitForSingleObject(native_->process.get(),
                            static_cast<DWORD>(std::max<long long>(0, left))) != WAIT_OBJECT_0) {
        Kill();
        WaitForSingleObject(native_->process.get(), INFINITE);
    }
    DWORD status = 0;
    const bool known = GetExitCodeProcess(native_->process.get(), &status) != 0;
    native_->process.reset();
    for (auto& reader : native_->readers) {
        if (reader.joinable()) reader.join();
    }
    while (Pump(Clock::now())) {
    }
    return known ? static_cast<int>(status) : -1;
}

const bool kFileNamesKeepTrailingBlanks = false;

std::string QuotedArgument(const std::string& name) { return "\"" + name + "\""; }

}  // namespace qzr::test
