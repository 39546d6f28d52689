#include "output/files/NameTemplate.h"

#include <cmath>

#include "output/files/PathText.h"

namespace framelot {
namespace {

constexpr unsigned DefaultIndexWidth = 4;
constexpr unsigned MaxIndexWidth = 20;  // the digits of the largest 64-bit number

bool ForbiddenInName(unsigned char c, NamingRules rules)
{
    if (c == '/' || c == 0) return true;
    if (rules != NamingRules::Windows) return false;
    return c < 0x20 || c == '\\' || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*';
}

std::string Padded(std::uint64_t n, unsigned width)
{
    std::string digits = std::to_string(n);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

}  // namespace

NameTemplate DefaultNameTemplate()
{
    NameTemplate names;
    names.Parts = {{NamePart::Kind::Name, {}, 0}, {NamePart::Kind::Text, "_", 0},
                   {NamePart::Kind::Index, {}, DefaultIndexWidth}};
    return names;
}

std::optional<NameTemplate> ParseNameTemplate(std::string_view text, std::string& error, NamingRules rules)
{
    NameTemplate names;
    bool hasIndex = false;
    std::string literal;
    const auto flush = [&] {
        if (!literal.empty()) names.Parts.push_back({NamePart::Kind::Text, literal, 0});
        literal.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
            literal += c;
            ++i;
            continue;
        }
        if (c == '}') {
            error = "--name: a \"}\" with no \"{\" before it (write \"}}\" for the brace itself)";
            return std::nullopt;
        }
        if (c != '{') {
            if (ForbiddenInName(static_cast<unsigned char>(c), rules)) {
                error = std::string("--name: file names cannot hold \"") + (c == 0 ? std::string("\\0") : std::string(1, c)) +
                        "\"; the template names a file in the frames' folder";
                return std::nullopt;
            }
            literal += c;
            continue;
        }
        const std::size_t close = text.find('}', i);
        if (close == std::string_view::npos) {
            error = "--name: a \"{\" is not closed";
            return std::nullopt;
        }
        const std::string_view field = text.substr(i + 1, close - i - 1);
        flush();
        if (field == "name") {
            names.Parts.push_back({NamePart::Kind::Name, {}, 0});
        } else if (field == "delay") {
            names.Parts.push_back({NamePart::Kind::Delay, {}, 0});
        } else if (field == "total") {
            names.Parts.push_back({NamePart::Kind::Total, {}, 0});
        } else if (field == "index" || field.substr(0, 6) == "index:") {
            unsigned width = 0;
            const std::string_view digits = field.size() > 6 ? field.substr(6) : std::string_view();
            for (char d : digits) {
                if (d < '0' || d > '9' || width > MaxIndexWidth) {
                    width = MaxIndexWidth + 1;
                    break;
                }
                width = width * 10 + static_cast<unsigned>(d - '0');
            }
            if (field.size() > 5 && (digits.empty() || width > MaxIndexWidth)) {
                error = "--name: {index:W} takes a width from 0 to " + std::to_string(MaxIndexWidth) + " (not \"{" +
                        std::string(field) + "}\")";
                return std::nullopt;
            }
            names.Parts.push_back({NamePart::Kind::Index, {}, width});
            hasIndex = true;
        } else {
            error = "--name: {" + std::string(field) + "} is not a field; the fields are {name}, {index}, {index:04}, "
                    "{delay} and {total}";
            return std::nullopt;
        }
        i = close;
    }
    flush();
    if (!hasIndex) {
        error = "--name: the template has no {index}, so every frame would get the same name";
        return std::nullopt;
    }
    // ".." alone or at an end could climb out of the folder on some systems; a
    // name's dots are fine elsewhere.
    for (const NamePart& part : names.Parts) {
        if (part.What == NamePart::Kind::Text && part.Text.find("..") != std::string::npos) {
            error = "--name: the template holds \"..\"";
            return std::nullopt;
        }
    }
    return names;
}

bool NameNeedsDescription(const NameTemplate& names)
{
    for (const NamePart& part : names.Parts) {
        if (part.What == NamePart::Kind::Delay || part.What == NamePart::Kind::Total) return true;
    }
    return false;
}

bool IsDefaultNaming(const NameTemplate& names)
{
    const NameTemplate d = DefaultNameTemplate();
    if (names.Start != d.Start || names.Parts.size() != d.Parts.size()) return false;
    for (std::size_t i = 0; i < d.Parts.size(); ++i) {
        const NamePart &a = names.Parts[i], &b = d.Parts[i];
        if (a.What != b.What || a.Text != b.Text || a.Width != b.Width) return false;
    }
    return true;
}

std::string FrameStem(const NameTemplate& names, std::string_view stem, std::uint64_t index, double delayMs,
                      std::uint64_t total)
{
    std::string out;
    for (const NamePart& part : names.Parts) {
        switch (part.What) {
        case NamePart::Kind::Text: out += part.Text; break;
        case NamePart::Kind::Name: out += stem; break;
        case NamePart::Kind::Index: out += Padded(index + names.Start, part.Width); break;
        case NamePart::Kind::Delay: out += std::to_string(std::llround(std::isfinite(delayMs) ? delayMs : 0)); break;
        case NamePart::Kind::Total: out += std::to_string(total); break;
        }
    }
    return out;
}

std::string NamedFramePath(std::string_view source, bool makeFolder, const NameTemplate& names, std::uint64_t index,
                           double delayMs, std::uint64_t total, std::string_view extension)
{
    const std::string base = OutputBasePath(source);
    const std::string stem = FileNameOf(base);
    const std::string folder = makeFolder ? base + "/" : base.substr(0, base.size() - stem.size());
    return folder + FrameStem(names, stem, index, delayMs, total) + std::string(extension);
}

}  // namespace framelot
