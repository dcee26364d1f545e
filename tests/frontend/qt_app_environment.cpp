// One QApplication for the whole test program, created before the first test and destroyed
// after the last, on the offscreen platform that ctest selects.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>
#include <memory>

namespace {

class QtAppEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        // Keeps the file dialog's remembered state out of the user's own settings.
        QStandardPaths::setTestModeEnabled(true);
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[14] = "test_frontend";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace
