// The handle owners: every handle closed exactly once whichever way its
// ownership moves, a failed close reported, and CreateFile's failure value
// never taken for a handle.
#include "winsupport/handles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace kov {
namespace {

// Handles are the addresses of these; every close is recorded.
int first = 1;
int second = 2;

struct RecordingCloser : NullMeansNone {
    static inline std::vector<int*> closed;
    static inline bool closeSucceeds = true;
    static bool Close(int* handle) {
        closed.push_back(handle);
        return closeSucceeds;
    }
};
using Recorded = Owned<int*, RecordingCloser>;

class OwnedTest : public testing::Test {
protected:
    void SetUp() override {
        RecordingCloser::closed.clear();
        RecordingCloser::closeSucceeds = true;
    }
    static const std::vector<int*>& Closed() { return RecordingCloser::closed; }
};

TEST_F(OwnedTest, MovedHandlesAreClosedOnceByTheirLastOwner) {
    {
        Recorded a(&first);
        Recorded b(std::move(a));
        Recorded c(&second);
        c = std::move(b);
        EXPECT_EQ(Closed(), std::vector<int*>{&second}) << "the overwritten handle, at once";
        EXPECT_FALSE(a);
        EXPECT_FALSE(b);
        EXPECT_EQ(c.Get(), &first);
    }
    EXPECT_EQ(Closed(), (std::vector<int*>{&second, &first}));
}

TEST_F(OwnedTest, ReleasedHandlesStayOpenAndResetClosesNow) {
    {
        Recorded released(&first);
        EXPECT_EQ(released.Release(), &first);
        Recorded reset(&second);
        EXPECT_TRUE(reset.Reset());
        EXPECT_EQ(Closed(), std::vector<int*>{&second});
        EXPECT_TRUE(reset.Reset()) << "nothing held, nothing to close";
    }
    EXPECT_EQ(Closed(), std::vector<int*>{&second});
}

TEST_F(OwnedTest, AFailedCloseIsReportedAndNotRepeated) {
    RecordingCloser::closeSucceeds = false;
    {
        Recorded owner(&first);
        EXPECT_FALSE(owner.Reset());
        EXPECT_FALSE(owner);
    }
    EXPECT_EQ(Closed(), std::vector<int*>{&first});
}

TEST(UniqueFile, CreateFileFailureIsNoHandle) {
    UniqueFile missing(::CreateFileW(L"Z:\\no such folder\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_TRUE(missing.Reset());
}

TEST(UniqueFile, ResetClosesTheFileThere) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"kov-handles-test.tmp";
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), "x", 1, &written, nullptr));
    EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(file.Reset());
    EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted by its close";
}

}  // namespace
}  // namespace kov
