#include "sim/DevsimOptions.h"

#include "sim/Text.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kvt::sim {

namespace {

bool validAddress(const std::string& a) {
    return a.size() == 2 && std::isxdigit(static_cast<unsigned char>(a[0])) &&
           std::isxdigit(static_cast<unsigned char>(a[1])) && a != "00";
}

std::optional<std::string> addressList(const std::string& value, std::vector<std::string>& out) {
    out.clear();
    for (const auto& field : text::split(value, ',')) {
        std::string a = text::upper(text::trim(field));
        if (!validAddress(a))
            return "bad address '" + field + "' (two hex characters, 01 to FF)";
        if (std::find(out.begin(), out.end(), a) != out.end())
            return "address " + a + " given twice";
        out.push_back(a);
    }
    return std::nullopt;
}

} // namespace

std::string devsimUsage() {
    return "Usage: kvt-devsim [options]\n"
           "Serves a simulated mass-flow controller (or an RS-485 bus of them) on a\n"
           "pseudo-terminal. The first line of output is the terminal's path.\n"
           "\n"
           "  --rs485 ADDR[,ADDR...]  RS-485 bus with these device addresses (hex, 01-FF)\n"
           "  --address ADDR          address of the single RS-232 device (default 01)\n"
           "  --baud N                line speed used for wire time (default 9600)\n"
           "  --link PATH             also make PATH a symlink to the terminal\n"
           "  --delay MS              extra latency before every reply (default 0)\n"
           "  --silent                read commands but never answer\n"
           "  --noise PERCENT         mix garbage bytes into this share of replies\n"
           "  --seed N                seed of the flow noise and device constants (default 1)\n"
           "  --full-scale SLPM       full-scale flow of every device (default 100)\n"
           "  --verbose               log commands, replies and line speed changes on stderr\n"
           "  --stream                send numbered text lines back to back, as fast as the\n"
           "                          line speed allows (commands are still answered)\n"
           "  --help                  show this text\n"
           "Stops on SIGINT or SIGTERM.\n";
}

DevsimParse parseDevsimArguments(const std::vector<std::string>& args) {
    DevsimOptions o;
    bool sawAddress = false;
    bool sawRs485 = false;
    auto fail = [](std::string message) { return DevsimParse{std::nullopt, std::move(message)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        auto flag = [&]() -> bool { return !inlineValue.has_value(); };
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };

        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--silent" || name == "--verbose" || name == "--stream") {
            if (!flag())
                return fail(name + " takes no value");
            (name == "--silent" ? o.silent : name == "--stream" ? o.stream : o.verbose) = true;
            continue;
        }
        if (name != "--rs485" && name != "--address" && name != "--baud" && name != "--link" &&
            name != "--delay" && name != "--noise" && name != "--seed" && name != "--full-scale")
            return fail("unknown option '" + args[i] + "'");
        auto v = value();
        if (!v)
            return fail(name + " needs a value");
        if (name == "--rs485") {
            if (auto error = addressList(*v, o.addresses))
                return fail("--rs485: " + *error);
            o.mode = LineMode::Rs485;
            sawRs485 = true;
        } else if (name == "--address") {
            std::vector<std::string> one;
            if (auto error = addressList(*v, one); error || one.size() != 1)
                return fail("--address: " + error.value_or("one address expected"));
            o.addresses = one;
            sawAddress = true;
        } else if (name == "--baud") {
            auto n = text::parseInteger(*v);
            if (!n || *n <= 0 || *n > 10'000'000)
                return fail("--baud: a positive whole number expected, got '" + *v + "'");
            o.baud = static_cast<long>(*n);
        } else if (name == "--link") {
            if (v->empty())
                return fail("--link: a path expected");
            o.link = *v;
        } else if (name == "--delay") {
            auto n = text::parseNumber(*v);
            if (!n || *n < 0.0 || *n > 600'000.0)
                return fail("--delay: milliseconds from 0 to 600000 expected, got '" + *v + "'");
            o.delayMs = *n;
        } else if (name == "--noise") {
            auto n = text::parseNumber(*v);
            if (!n || *n < 0.0 || *n > 100.0)
                return fail("--noise: a percentage from 0 to 100 expected, got '" + *v + "'");
            o.noisePercent = *n;
        } else if (name == "--seed") {
            auto n = text::parseInteger(*v);
            if (!n || *n < 0)
                return fail("--seed: a whole number expected, got '" + *v + "'");
            o.seed = static_cast<std::uint64_t>(*n);
        } else if (name == "--full-scale") {
            auto n = text::parseNumber(*v);
            if (!n || !(*n > 0.0) || *n > 1e6)
                return fail("--full-scale: a positive flow in SLPM expected, got '" + *v + "'");
            o.fullScaleSlpm = *n;
        }
    }
    if (sawAddress && sawRs485)
        return fail("--address is for the single RS-232 device; give RS-485 addresses to --rs485");
    return DevsimParse{o, {}};
}

std::vector<DeviceOptions> deviceOptionsFor(const DevsimOptions& options) {
    std::vector<DeviceOptions> out;
    for (std::size_t i = 0; i < options.addresses.size(); ++i) {
        DeviceOptions d;
        d.address = options.addresses[i];
        d.fullScaleSlpm = options.fullScaleSlpm;
        d.seed = options.seed + i;
        out.push_back(d);
    }
    return out;
}

} // namespace kvt::sim
