#pragma once
// The command lines of our companion programs: options as "--name value" or "--name=value",
// everything else (and everything after "--") positional.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace commandline {

// A command line that is refused; the text says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Calls onOption(name, value, flag) for each option: value() takes its value (given with '=', or
// the next argument), flag() refuses a value given with '='. Returns the positional arguments.
template <typename OnOption>
std::vector<std::string> Parse(const std::vector<std::string>& args, OnOption onOption) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            positional.insert(positional.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
            break;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::string option = arg, inlineValue;
            bool hasValue = false;
            if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
                option = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
                hasValue = true;
            }
            auto value = [&]() -> std::string {
                if (hasValue)
                    return inlineValue;
                if (i + 1 >= args.size())
                    throw UsageError(option + " needs a value");
                return args[++i];
            };
            auto flag = [&] {
                if (hasValue)
                    throw UsageError(option + " takes no value");
            };
            onOption(option, value, flag);
            continue;
        }
        positional.push_back(arg);
    }
    return positional;
}

} // namespace commandline
