// Resource tests: the first argument is the Kovarentis.exe to inspect.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/shell/resources/resource_module.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s KOVARENTIS_EXE [gtest options]\n", argv[0]);
        return 2;
    }
    const int size = ::MultiByteToWideChar(CP_ACP, 0, argv[1], -1, nullptr, 0);
    std::wstring path(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path.data(), size);
    kov::test::SetAgentPath(path);
    return RUN_ALL_TESTS();
}
