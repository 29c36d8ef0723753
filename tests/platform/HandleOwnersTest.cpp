#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "platform/FileDescriptor.h"
#include "platform/LibraryHandle.h"

// A descriptor is closed once by whichever owner holds it last, and never by one it has left.
TEST(HandleOwners, DescriptorClosedByItsLastOwnerOnly) {
    using Step = std::function<void(FileDescriptor & fd, FileDescriptor & survivor)>;
    const std::tuple<const char*, Step, bool> cases[] = {
        {"reset", [](auto& fd, auto&) { fd.Reset(); }, true},
        {"emptied by assignment", [](auto& fd, auto&) { fd = {}; }, true},
        {"moved to an owner that ends", [](auto& fd, auto&) { FileDescriptor(std::move(fd)); },
         true},
        {"moved to one that lives on", [](auto& fd, auto& survivor) { survivor = std::move(fd); },
         false},
        {"released to one that lives on",
         [](auto& fd, auto& survivor) { survivor.Reset(fd.Release()); }, false},
    };
    for (const auto& [what, step, closed] : cases) {
        FileDescriptor survivor;
        // Both ends close-on-exec, with the flags asked for.
        auto [readEnd, writeEnd] = FileDescriptor::Pipe(O_NONBLOCK);
        ASSERT_TRUE(readEnd.IsValid()) << what;
        EXPECT_NE(::fcntl(writeEnd.Get(), F_GETFD) & FD_CLOEXEC, 0);
        EXPECT_NE(::fcntl(writeEnd.Get(), F_GETFL) & O_NONBLOCK, 0);
        const int number = readEnd.Get();
        step(readEnd, survivor);
        EXPECT_EQ(::fcntl(number, F_GETFD) == -1, closed) << what;
        readEnd.Reset();  // the owner it has left does not close it again
        EXPECT_EQ(::fcntl(number, F_GETFD) == -1, closed) << what;
    }
}

// A library stays loaded while a handle holds it and is closed with the last one; a missing
// one says why it failed.
TEST(HandleOwners, LibraryClosedWithItsLastHandle) {
    const auto isLoaded = [] {
        void* probe = ::dlopen(TEST_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
        return probe != nullptr && ::dlclose(probe) == 0;
    };
    {
        LibraryHandle first{QByteArray(TEST_LIBRARY_PATH)};
        ASSERT_TRUE(first.IsOpen()) << first.Error();
        EXPECT_NE(first.Symbol("_InitMP3"), nullptr);
        EXPECT_EQ(first.Symbol("NoSuchEntryPoint"), nullptr);
        const LibraryHandle second = std::move(first);
        EXPECT_EQ(first.Symbol("_InitMP3"), nullptr);
        EXPECT_TRUE(isLoaded());
    }
    EXPECT_FALSE(isLoaded());

    const LibraryHandle missing{QByteArray("/nonexistent/libnothing.so")};
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_NE(missing.Error().find("libnothing.so"), std::string::npos) << missing.Error();
}
