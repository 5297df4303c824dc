#include "publisher/publisher_cli.h"

#include "publisher/publish_options.h"
#include "publisher/release_key.h"
#include "publisher/release_publisher.h"
#include "publisher/rollout_change.h"

#include <ostream>

int RunPublisher(const std::vector<std::string>& args, std::ostream& out, std::ostream& log) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        log << kPublisherUsage;
        return 0;
    }
    if (!args.empty() && args[0] == "keygen") {
        if (args.size() != 2 || args[1].empty()) {
            log << "publisher: keygen needs the private key file to create\n" << kPublisherUsage;
            return 2;
        }
        return CreateReleaseKey(PathFromUtf8(args[1]), out, log);
    }
    std::string error;
    if (!args.empty() && args[0] == "rollout") {
        const std::optional<PublishOptions> options = ParseRolloutArguments(args, error);
        if (!options) {
            log << "publisher: " << error << '\n' << kPublisherUsage;
            return 2;
        }
        return ChangeRollout(*options, log) ? 0 : 1;
    }
    const std::optional<PublishOptions> options = ParsePublishArguments(args, error);
    if (!options) {
        log << "publisher: " << error << '\n' << kPublisherUsage;
        return 2;
    }
    return PublishRelease(*options, log) ? 0 : 1;
}
