#include "publisher/publisher_cli.h"

#include <iostream>

// Linux hands the arguments over as UTF-8 already.
int main(int argc, char** argv) {
    return RunPublisher(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
