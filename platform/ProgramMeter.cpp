#include "platform/ProgramMeter.h"

#include <charconv>
#include <sstream>

namespace win {

namespace {

constexpr std::size_t MostPrograms = 100000;

bool Number(const std::string& text, std::uint64_t& value)
{
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end;
}

} // namespace

bool ParseMeterAnswer(const std::string& text, std::vector<ProgramBytes>& programs, std::string& why)
{
    programs.clear();
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != "ok") {
        why = line.rfind("error ", 0) == 0 ? "the meter said: " + line.substr(6) : "the meter's answer is not one";
        return false;
    }
    while (std::getline(lines, line)) {
        if (line == ".")
            return true;
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');)
            fields.push_back(field);
        ProgramBytes program;
        if (fields.size() != 6 || fields[0].empty() || !Number(fields[2], program.Received) ||
            !Number(fields[3], program.Sent) || !Number(fields[4], program.ReceivedPackets) ||
            !Number(fields[5], program.SentPackets) || programs.size() >= MostPrograms) {
            why = "the meter's answer has a line that is not a program's";
            programs.clear();
            return false;
        }
        program.Program = fields[0];
        program.Path = fields[1];
        programs.push_back(std::move(program));
    }
    why = "the meter's answer ended early";
    programs.clear();
    return false;
}

} // namespace win
