// psfpick: picks isolated, well-measured point sources for PSF modelling.
#include <iostream>

int main(int argc, char** argv) {
    std::cout << '\n';
    for (int i = 0; i < argc; ++i) std::cout << argv[i] << ' ';
    std::cout << "\n\n";
    std::cout << "source code date: 2014/02/14\n\n";
    return 0;
}
