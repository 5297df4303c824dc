#pragma once
// The publisher's command line: arguments in UTF-8, exit code out.
#include <iosfwd>
#include <string>
#include <vector>

// 0 on success, 1 when publishing failed or a name was refused, 2 on bad
// arguments. Only a new key's public line goes to out; messages go to log.
int RunPublisher(const std::vector<std::string>& args, std::ostream& out, std::ostream& log);
