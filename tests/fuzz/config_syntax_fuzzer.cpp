// libFuzzer target: any bytes must parse without a fault, and what the
// parser keeps must read back the same after serialising.
#include "config/config_syntax.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ConfigDocument document = ConfigDocument::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const ConfigDocument again = ConfigDocument::Parse(document.Serialize());

    std::vector<std::string> sections, sectionsAgain;
    document.AppendSectionNames(sections);
    again.AppendSectionNames(sectionsAgain);
    if (sections != sectionsAgain) std::abort();
    for (const std::string& section : sections) {
        std::vector<std::string> keys, keysAgain;
        document.AppendEntryNames(section, keys);
        again.AppendEntryNames(section, keysAgain);
        if (keys != keysAgain) std::abort();
        for (const std::string& key : keys) {
            const std::string* value = document.Find(section, key);
            const std::string* valueAgain = again.Find(section, key);
            if (!value || !valueAgain || *value != *valueAgain) std::abort();
        }
    }
    return 0;
}
