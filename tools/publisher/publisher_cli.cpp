#include "publisher/publisher_cli.h"

#include "publisher/publish_options.h"
#include "publisher/release_publisher.h"

#include <ostream>

int RunPublisher(const std::vector<std::string>& args, std::ostream& log) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        log << kPublisherUsage;
        return 0;
    }
    std::string error;
    const std::optional<PublishOptions> options = ParsePublishArguments(args, error);
    if (!options) {
        log << "publisher: " << error << '\n' << kPublisherUsage;
        return 2;
    }
    return PublishRelease(*options, log) ? 0 : 1;
}
