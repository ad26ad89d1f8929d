#include "app/CtlOptions.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace kvt::app {

namespace {

constexpr std::size_t kMaxLine = 256;

std::optional<long> wholeNumber(const std::string& text, long min, long max) {
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

// A set point as typed: "," is taken for ".", and the whole text must be one finite number.
std::optional<std::string> number(std::string text) {
    for (char& c : text)
        if (c == ',')
            c = '.';
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v))
        return std::nullopt;
    // Hexadecimal and the like are numbers to strtod, not to an operator.
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
            c != 'e' && c != 'E')
            return std::nullopt;
    return text;
}

} // namespace

bool hasControlCharacters(std::string_view text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

std::optional<std::string> deviceAddress(std::string_view text) {
    if (text.size() != 2 || !std::isxdigit(static_cast<unsigned char>(text[0])) ||
        !std::isxdigit(static_cast<unsigned char>(text[1])))
        return std::nullopt;
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (out == "00")
        return std::nullopt;
    return out;
}

CtlParse parseCtlArguments(const std::vector<std::string>& args) {
    CtlParse result;
    CtlOptions o;
    auto refuse = [&](std::string why) {
        result.error = std::move(why);
        return result;
    };
    for (const auto& a : args)
        if (hasControlCharacters(a))
            return refuse("control characters are refused; give one command per invocation");

    std::size_t i = 0;
    auto value = [&](const std::string& option) -> std::optional<std::string> {
        if (i + 1 >= args.size())
            return std::nullopt;
        (void)option;
        return args[++i];
    };

    // Options before the command.
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            result.options = o;
            return result;
        }
        if (a == "--version") {
            o.version = true;
            result.options = o;
            return result;
        }
        if (a.rfind("--", 0) != 0)
            break;
        if (a == "--port") {
            auto v = value(a);
            if (!v || v->empty())
                return refuse("--port needs a port number, a device path or a server address");
            bool digits = true;
            for (char c : *v)
                digits = digits && c >= '0' && c <= '9';
            if (digits) {
                auto n = wholeNumber(*v, 1, 16);
                if (!n)
                    return refuse("--port " + *v + ": port numbers are 1 to 16");
                o.portNumber = static_cast<int>(*n);
            } else {
                o.portPath = *v;
            }
        } else if (a == "--settings") {
            auto v = value(a);
            if (!v || v->empty())
                return refuse("--settings needs a text such as 9600,n,8,1");
            o.settings = *v;
        } else if (a == "--rs485") {
            auto v = value(a);
            auto address = v ? deviceAddress(*v) : std::nullopt;
            if (!address)
                return refuse("--rs485 needs a device address 01 to FF");
            o.rs232 = false;
            o.address = *address;
        } else if (a == "--rs232") {
            o.rs232 = true;
            o.address.clear();
        } else {
            return refuse("unknown option " + a);
        }
    }
    if (i >= args.size())
        return refuse("no command given");
    o.command = args[i++];
    std::vector<std::string> rest(args.begin() + static_cast<long>(i), args.end());

    if (o.command == "send") {
        if (rest.size() != 1)
            return refuse("send takes one command line");
        if (rest[0].empty() || rest[0].size() > kMaxLine)
            return refuse("send: the line must be 1 to " + std::to_string(kMaxLine) +
                          " characters");
        o.line = rest[0];
    } else if (o.command == "flow" || o.command == "status") {
        if (!rest.empty())
            return refuse(o.command + " takes no arguments");
    } else if (o.command == "setpoint") {
        if (rest.size() > 1)
            return refuse("setpoint takes at most one value");
        if (rest.size() == 1) {
            o.setPoint = number(rest[0]);
            if (!o.setPoint)
                return refuse("setpoint: " + rest[0] + " is not a number");
        }
    } else if (o.command == "scan") {
        for (std::size_t k = 0; k < rest.size(); ++k) {
            const std::string& a = rest[k];
            if (k + 1 >= rest.size())
                return refuse("scan: " + a + " needs a value");
            const std::string& v = rest[++k];
            if (a == "--from" || a == "--to") {
                auto address = deviceAddress(v);
                if (!address)
                    return refuse("scan: " + a + " needs an address 01 to FF");
                (a == "--from" ? o.scanFrom : o.scanTo) = std::stoi(*address, nullptr, 16);
            } else if (a == "--timeout-ms") {
                auto ms = wholeNumber(v, 10, 60000);
                if (!ms)
                    return refuse("scan: --timeout-ms must be 10 to 60000");
                o.scanTimeoutMs = static_cast<int>(*ms);
            } else {
                return refuse("scan: unknown option " + a);
            }
        }
        if (o.scanFrom > o.scanTo)
            return refuse("scan: --from is above --to");
    } else if (o.command == "watch") {
        for (std::size_t k = 0; k < rest.size(); ++k) {
            const std::string& a = rest[k];
            if (a == "--interval-ms" || a == "--count") {
                if (k + 1 >= rest.size())
                    return refuse("watch: " + a + " needs a value");
                const std::string& v = rest[++k];
                if (a == "--interval-ms") {
                    auto ms = wholeNumber(v, 0, 3600000);
                    if (!ms)
                        return refuse("watch: --interval-ms must be 0 to 3600000");
                    o.watchIntervalMs = static_cast<int>(*ms);
                } else {
                    auto n = wholeNumber(v, 1, 1000000000);
                    if (!n)
                        return refuse("watch: --count must be a whole number from 1");
                    o.watchCount = *n;
                }
            } else if (auto address = deviceAddress(a)) {
                o.watchAddresses.push_back(*address);
            } else {
                return refuse("watch: " + a + " is neither an option nor an address 01 to FF");
            }
        }
    } else {
        return refuse("unknown command " + o.command);
    }
    result.options = o;
    return result;
}

std::string ctlUsage() {
    return "Usage: kvt-ctl [--port N|PATH|URL] [--settings 9600,n,8,1] [--rs485 ADDR|--rs232] "
           "COMMAND\n"
           "Talks to a flow controller through the KVT Control Terminal's link, for scripts.\n"
           "Without options it uses the terminal's own preferences (port, settings, interface)\n"
           "and its current device; it never changes them or setup.dat.\n"
           "\n"
           "Commands:\n"
           "  send LINE             send one command line, print the reply\n"
           "  flow                  print the flow reading\n"
           "  setpoint [VALUE]      set the set point; without VALUE print the one setup.dat "
           "holds\n"
           "  status                the device's status as key=value lines\n"
           "  scan [--from 01 --to FF --timeout-ms 200]\n"
           "                        list the addresses that answer on an RS-485 line\n"
           "  watch [--interval-ms 100] [--count N] [ADDR...]\n"
           "                        one CSV line per reading: time, address, flow, set point\n"
           "\n"
           "Options:\n"
           "  --port N|PATH|URL     port number 1-16 as mapped in the preferences, a device path,\n"
           "                        or tcp://HOST:PORT / rfc2217://HOST:PORT of a device server\n"
           "  --settings TEXT       line settings: speed,parity,data bits,stop bits\n"
           "  --rs485 ADDR          RS-485 line, device at address ADDR (01-FF)\n"
           "  --rs232               RS-232 line, one device, unaddressed commands\n"
           "  --help, --version\n"
           "\n"
           "Exit status: 0 success, 1 no reply or refused reply, 2 usage error, 3 port error.\n";
}

} // namespace kvt::app
