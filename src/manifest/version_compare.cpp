#include "manifest/version_compare.h"

bool IsVersionGreater(std::string_view version, std::string_view than) {
    // string_view compares through char_traits<char>, which orders bytes as unsigned char.
    return version.compare(than) > 0;
}
