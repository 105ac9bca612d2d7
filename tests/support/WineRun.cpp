// `wine_run PROGRAM.exe [ARGS...]`: a cross-built test program under Wine on
// the tests' prefix, its output and exit code passed on for CTest.
#include <iostream>

#include "WineDesktop.h"

int main(int argc, char** argv)
{
    WineDesktop wine(TONVELO_WINE_PREFIX);
    if (!wine.ready()) {
        std::cerr << wine.failure() << '\n';
        return 1;
    }
    const auto result = wine.run({ argv + 1, argv + argc }, std::chrono::minutes(4));
    std::cout << result.output;
    return result.exitCode;
}
