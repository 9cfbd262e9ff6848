// The pens' locks on flock: who excludes whom, file names that stay in their
// folder, and a holder that dies without letting go.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/LockName.h"
#include "posix/FilePenLock.h"

using namespace penlink;
namespace fs = std::filesystem;

namespace {

class FilePenLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/penlink-lock-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    // What taking location's lock now finds; the lock is kept in held.
    PenLockStatus Take(const std::string& location) {
        PenLockStatus status = PenLockStatus::Unavailable;
        SysError err;
        held = FilePenLock::Take(folder, location, status, err);
        EXPECT_EQ(held != nullptr, status == PenLockStatus::Taken) << err.call;
        return status;
    }

    std::string folder;
    std::unique_ptr<PenLock> held;
};

}  // namespace

TEST_F(FilePenLockTest, PensExcludeThemselvesAndTheComputerNotEachOther) {
    PenLockStatus status;
    SysError err;
    auto a = FilePenLock::Take(folder, "usb-1-1", status, err);
    ASSERT_EQ(status, PenLockStatus::Taken) << err.call;
    EXPECT_EQ(Take("usb-1-1"), PenLockStatus::HeldElsewhere);
    EXPECT_EQ(Take("usb-1-2"), PenLockStatus::Taken);
    held.reset();
    EXPECT_EQ(Take(""), PenLockStatus::HeldElsewhere);
    a.reset();
    EXPECT_EQ(Take(""), PenLockStatus::Taken);
    auto computer = std::move(held);
    EXPECT_EQ(Take("usb-1-2"), PenLockStatus::HeldElsewhere);
    computer.reset();
    EXPECT_EQ(Take("usb-1-2"), PenLockStatus::Taken);
}

TEST_F(FilePenLockTest, NamesStayInTheFolderAndNeverCollide) {
    EXPECT_EQ(LockFileName("../../etc/x").find('/'), std::string::npos);
    EXPECT_NE(LockFileName("a/b"), LockFileName("a_b"));
    EXPECT_EQ(Take("../escape"), PenLockStatus::Taken);
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().parent_path(), fs::path(folder));
    }
}

TEST_F(FilePenLockTest, AHolderThatDiesLeavesNoLockBehind) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        PenLockStatus status;
        SysError err;
        auto lock = FilePenLock::Take(folder, "usb-3", status, err);
        _exit(status == PenLockStatus::Taken ? 0 : 1);  // dies holding it
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    EXPECT_TRUE(fs::exists(fs::path(folder) / LockFileName("usb-3")));
    EXPECT_EQ(Take("usb-3"), PenLockStatus::Taken);
}
