// The extension list is the format table's everywhere it is written: the
// build's list (formats.txt, which the installer's "Open with" entries are
// made from), the command line's help, and on Linux the man pages, the
// desktop entry's and the AppStream metadata's media types, and the README.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "convert/SourceFormats.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

std::vector<std::string> TableExtensions()
{
    std::vector<std::string> extensions;
    for (const SourceFormat& format : SourceFormats()) {
        for (const std::string_view e : format.Extensions) extensions.emplace_back(e);
    }
    return extensions;
}

std::string Text(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// The media types between `open` and `close`, split at `separator`.
std::set<std::string> Between(const std::string& text, const std::string& open, const std::string& close)
{
    std::set<std::string> found;
    for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
        const std::size_t start = at + open.size();
        found.insert(text.substr(start, text.find(close, start) - start));
    }
    return found;
}

TEST(FormatListTest, EveryListIsTheFormatTables)
{
    const std::vector<std::string> table = TableExtensions();
    std::istringstream lines(Text(FRAMELOT_FORMATS_LIST));
    std::vector<std::string> listed;
    std::set<std::string> types;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string extension, type;
        words >> extension;
        listed.push_back(extension);
        while (words >> type) types.insert(type);
    }
    EXPECT_EQ(listed, table) << "the build's list is not the format table's";

    const ProgramRun help = RunProgram(std::string(FRAMELOT_CLI) + " --help");
    std::string joined;
    for (const std::string& e : table) joined += (joined.empty() ? "" : ", ") + e;
    EXPECT_NE(help.Output.find("  " + joined + "\n"), std::string::npos) << help.Output;

#ifndef _WIN32
    for (const char* page : {"framelot.1", "framelot-cli.1"}) {
        const std::string text = Text(std::string(FRAMELOT_BUILD_DIR) + "/packaging/" + page);
        std::string man;
        for (std::size_t i = 0; i < table.size(); ++i) {
            man += (i == 0 ? "" : i + 1 == table.size() ? " and " : ", ") + std::string("\\fB") + table[i] + "\\fR";
        }
        EXPECT_NE(text.find(man), std::string::npos) << page;
    }
    const std::string desktop = Text(std::string(FRAMELOT_BUILD_DIR) + "/org.framelot.Framelot.desktop");
    std::set<std::string> desktopTypes;
    const std::string mime = *Between(desktop, "MimeType=", "\n").begin();
    std::istringstream parts(mime);
    for (std::string part; std::getline(parts, part, ';');) desktopTypes.insert(part);
    EXPECT_EQ(desktopTypes, types);
    EXPECT_EQ(Between(Text(std::string(FRAMELOT_BUILD_DIR) + "/org.framelot.Framelot.metainfo.xml"), "<mediatype>", "</mediatype>"),
              types);
    const std::string readme = Text(std::string(FRAMELOT_SOURCE_DIR) + "/README.md");
    for (const std::string& e : table) EXPECT_NE(readme.find("\"" + e + "\""), std::string::npos) << "README: " << e;
#endif
}

}  // namespace
}  // namespace framelot
