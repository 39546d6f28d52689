#include "output/sheets/SheetBuilder.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "imaging/Limits.h"
#include "output/encoders/FrameEncoding.h"
#include "output/encoders/SavePng.h"
#include "output/files/FrameNaming.h"
#include "output/files/NewFile.h"
#include "output/files/PathText.h"
#include "output/files/SizeInWords.h"
#include "output/sheets/SheetPaint.h"

namespace framelot {
namespace {

std::string SizeText(std::uint64_t width, std::uint64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

ConvertResult UsageFailure(std::string reason)
{
    return {ConvertStatus::Failed, std::move(reason), 0, 0, {}, FailureKind::Usage};
}

// Every sheet within the pixel limit, and all of them together (they are
// held at once), or why not.
ConvertResult PagesWithinLimits(const SheetPacking& packing, bool trimmed)
{
    std::uint64_t total = 0;
    for (const SheetPage& page : packing.Pages) {
        if (!FitsLimits(static_cast<std::int64_t>(page.Width), static_cast<std::int64_t>(page.Height))) {
            return OverLimit("the sheet would be " + SizeText(page.Width, page.Height) + " pixels, over the limit of " +
                             std::to_string(MaxCanvasPixels) + "; choose fewer frames with --frames, or " +
                             (trimmed ? std::string("set --max-size") : std::string("another grid with --columns")));
        }
        total += page.Width * page.Height;
    }
    if (total > MaxCanvasPixels) {
        return OverLimit("the " + std::to_string(packing.Pages.size()) + " sheets would hold " + std::to_string(total) +
                         " pixels, over the limit of " + std::to_string(MaxCanvasPixels) +
                         "; choose fewer frames with --frames");
    }
    return Converted();
}

ConvertResult OnePageForm(const SheetOptions& options, AtlasFormat format, std::size_t pages)
{
    if (pages <= 1 || AtlasTakesPages(format)) return Converted();
    return UsageFailure(std::string("the ") + AtlasFormatName(format) + " atlas names one sheet, and these frames need " +
                        std::to_string(pages) + " sheets of at most " + SizeText(options.MaxWidth, options.MaxHeight) +
                        "; raise --max-size or choose another --atlas");
}

std::size_t PixelHash(const Bitmap& b)
{
    const std::string_view bytes(reinterpret_cast<const char*>(b.Pixels.data()), b.Pixels.size());
    return std::hash<std::string_view>{}(bytes) ^ (static_cast<std::size_t>(b.Width) * 0x9E3779B97F4A7C15ull);
}

void RemoveAll(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        std::error_code ignored;
        std::filesystem::remove(PathFromUtf8(path), ignored);
    }
}

}  // namespace

SheetPaths PlanSheetPaths(const std::string& placed, bool makeFolder, AtlasFormat format)
{
    SheetPaths paths;
    paths.Placed = placed;
    paths.MakeFolder = makeFolder;
    paths.Single = SheetFilePath(placed, makeFolder, ".png");
    paths.FirstPage = SheetFilePath(placed, makeFolder, "-1.png");
    paths.AtlasPath = SheetFilePath(placed, makeFolder, AtlasExtension(format));
    return paths;
}

bool SheetTaken(const SheetPaths& paths)
{
    return PathTaken(paths.Single) || PathTaken(paths.FirstPage) || PathTaken(paths.AtlasPath);
}

std::string SheetPagePath(const SheetPaths& paths, std::size_t page, std::size_t pages)
{
    if (pages <= 1) return paths.Single;
    return SheetFilePath(paths.Placed, paths.MakeFolder, "-" + std::to_string(page + 1) + ".png");
}

ConvertResult SheetBuilder::Plan(std::uint64_t cells, std::int64_t width, std::int64_t height)
{
    Cells = cells;
    CellWidth = width;
    CellHeight = height;
    const SheetOptions& o = Options.Packing;
    if (cells == 0) return Converted();
    const auto w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
    if (!o.Trim) {
        Grid = PackGrid(cells, w, h, o);
        if (!Grid.Error.empty()) return UsageFailure(Grid.Error);
        if (ConvertResult limits = PagesWithinLimits(Grid, false); limits.Status != ConvertStatus::Converted) return limits;
        return OnePageForm(o, Options.Atlas, Grid.Pages.size());
    }
    // Trimming packs once every frame is in: each is held until then.
    if (cells * w * h > MaxCanvasPixels) {
        return OverLimit(std::to_string(cells) + " frames of " + SizeText(w, h) + " held for trimming would be over " +
                         "the limit of " + std::to_string(MaxCanvasPixels) + " pixels; choose fewer frames with --frames");
    }
    // A trimmed frame larger than --max-size is refused when the packing
    // sees it, once the frames are known (and before anything is written).
    return Converted();
}

void SheetBuilder::Add(const std::string& fileName, const Bitmap& frame, double durationMs)
{
    if (Added() >= Cells) return;
    const SheetOptions& o = Options.Packing;
    AtlasFrame f;
    f.FileName = fileName;
    f.DurationMs = durationMs;
    if (!o.Trim && Options.MergeHeld) {
        // How many frames the runs come to is known at the end: the grid is
        // laid out then, from the frames held.
        const int width = static_cast<int>(std::min<std::int64_t>(frame.Width, CellWidth));
        const int height = static_cast<int>(std::min<std::int64_t>(frame.Height, CellHeight));
        Bitmap whole = MakeBitmap(width, height);
        PaintCell(whole, 0, 0, frame, Rect{0, 0, width, height}, 0);
        Stored.push_back(std::move(whole));
        CellOf.push_back(Stored.size() - 1);
        f.Source = Rect{0, 0, width, height};
        f.SourceWidth = width;
        f.SourceHeight = height;
        Entries.Frames.push_back(std::move(f));
        return;
    }
    if (!o.Trim) {
        const PackedCell& cell = Grid.Cells[Added()];
        while (Pages.size() <= cell.Page) {
            const SheetPage& page = Grid.Pages[Pages.size()];
            Pages.push_back(MakeBitmap(static_cast<int>(page.Width), static_cast<int>(page.Height)));
        }
        const int width = static_cast<int>(std::min<std::int64_t>(frame.Width, CellWidth));
        const int height = static_cast<int>(std::min<std::int64_t>(frame.Height, CellHeight));
        PaintCell(Pages[cell.Page], static_cast<std::int64_t>(cell.X), static_cast<std::int64_t>(cell.Y), frame,
                  Rect{0, 0, width, height}, o.Extrude);
        f.Page = cell.Page;
        f.Place = Rect{static_cast<std::int32_t>(cell.X), static_cast<std::int32_t>(cell.Y), width, height};
        f.Source = Rect{0, 0, width, height};
        f.SourceWidth = width;
        f.SourceHeight = height;
        Entries.Frames.push_back(std::move(f));
        return;
    }
    Rect visible = VisibleBounds(frame);
    if (visible.Width == 0) visible = Rect{0, 0, 1, 1};  // nothing visible: one transparent pixel stands for it
    Bitmap part = MakeBitmap(visible.Width, visible.Height);
    PaintCell(part, 0, 0, frame, visible, 0);
    const std::size_t hash = PixelHash(part);
    std::size_t stored = Stored.size();
    for (auto [at, end] = ByHash.equal_range(hash); at != end; ++at) {
        const Bitmap& earlier = Stored[at->second];
        if (SamePixels(earlier, part)) {
            stored = at->second;
            break;
        }
    }
    if (stored == Stored.size()) {
        ByHash.emplace(hash, stored);
        Stored.push_back(std::move(part));
    } else {
        ++Repeats;
    }
    CellOf.push_back(stored);
    f.Source = visible;
    f.SourceWidth = frame.Width;
    f.SourceHeight = frame.Height;
    f.Trimmed = visible.Width != frame.Width || visible.Height != frame.Height;
    Entries.Frames.push_back(std::move(f));
}

ConvertResult SheetBuilder::PlaceEntries(const SheetPacking& packing, bool trimmed)
{
    if (!packing.Error.empty()) return UsageFailure(packing.Error);
    if (ConvertResult limits = PagesWithinLimits(packing, trimmed); limits.Status != ConvertStatus::Converted) return limits;
    if (ConvertResult form = OnePageForm(Options.Packing, Options.Atlas, packing.Pages.size());
        form.Status != ConvertStatus::Converted) {
        return form;
    }
    for (std::size_t i = 0; i < Entries.Frames.size(); ++i) {
        AtlasFrame& f = Entries.Frames[i];
        const PackedCell& cell = packing.Cells[CellOf[i]];
        f.Page = cell.Page;
        f.Place = Rect{static_cast<std::int32_t>(cell.X), static_cast<std::int32_t>(cell.Y), f.Source.Width, f.Source.Height};
    }
    return Converted();
}

ConvertResult SheetBuilder::Pack(const AnimationInfo& info)
{
    const SheetOptions& o = Options.Packing;
    Entries.Name = OutputStem(FileNameOf(Paths.Placed));
    Entries.Loops = info.Loops;
    Entries.Trim = o.Trim;
    Entries.Version = FRAMELOT_VERSION;
    SheetPacking& trimmed = Packed;
    if (!o.Trim && Options.MergeHeld) {
        Grid = PackGrid(Added(), static_cast<std::uint64_t>(CellWidth), static_cast<std::uint64_t>(CellHeight), o);
        if (ConvertResult placed = PlaceEntries(Grid, false); placed.Status != ConvertStatus::Converted) return placed;
    }
    if (o.Trim) {
        std::vector<PackItem> items;
        items.reserve(Stored.size());
        for (const Bitmap& part : Stored) {
            items.push_back({static_cast<std::uint64_t>(part.Width), static_cast<std::uint64_t>(part.Height)});
        }
        trimmed = PackRows(items, o);
        if (ConvertResult placed = PlaceEntries(trimmed, true); placed.Status != ConvertStatus::Converted) return placed;
    }
    const SheetPacking& packing = o.Trim ? trimmed : Grid;
    const std::size_t pages = packing.Pages.size();
    for (std::size_t p = 0; p < pages; ++p) {
        Entries.Pages.push_back({FileNameOf(SheetPagePath(Paths, p, pages)), packing.Pages[p].Width, packing.Pages[p].Height});
    }
    return Converted();
}

ConvertResult SheetBuilder::Write(ByteCap* cap)
{
    const SheetOptions& o = Options.Packing;
    const SheetPacking& packing = o.Trim ? Packed : Grid;
    const std::size_t pages = packing.Pages.size();

    std::vector<std::string> written;
    PngEncoder encoder;
    std::vector<std::uint8_t> encoded;
    const auto refused = [&](const SaveOutcome& outcome, const std::string& what) -> ConvertResult {
        RemoveAll(written);
        if (outcome.OverCap) {
            return {ConvertStatus::Failed, "the " + what + " would take more than --max-output " + SizeInWords(cap->Limit), 0,
                    0, {}, FailureKind::OverLimit};
        }
        if (outcome.Status == SaveStatus::AlreadyExists) {
            return {ConvertStatus::Skipped, "output already exists", 0, 0, SheetPagePath(Paths, 0, pages)};
        }
        return {ConvertStatus::Failed, "cannot write the " + what + ": " + outcome.Reason, 0, 0, {}, FailureKind::FileSystem};
    };
    for (std::size_t p = 0; p < pages; ++p) {
        const SheetPage& size = packing.Pages[p];
        Bitmap page;
        if (o.Trim || Options.MergeHeld) {
            page = MakeBitmap(static_cast<int>(size.Width), static_cast<int>(size.Height));
            for (std::size_t k = 0; k < Stored.size(); ++k) {
                const PackedCell& cell = packing.Cells[k];
                if (cell.Page != p) continue;
                PaintCell(page, static_cast<std::int64_t>(cell.X), static_cast<std::int64_t>(cell.Y), Stored[k],
                          Rect{0, 0, Stored[k].Width, Stored[k].Height}, o.Extrude);
            }
        } else if (p < Pages.size()) {
            page = std::move(Pages[p]);
        } else {
            page = MakeBitmap(static_cast<int>(size.Width), static_cast<int>(size.Height));
        }
        const std::string path = SheetPagePath(Paths, p, pages);
        encoded.clear();
        const SaveOutcome outcome = SaveFrame(FrameEncoding{}, page, path, encoded, encoder, nullptr, cap);
        if (outcome.Status != SaveStatus::Written) return refused(outcome, "sheet");
        written.push_back(path);
    }
    const std::string text = AtlasText(Entries, Options.Atlas);
    const SaveOutcome atlas =
        cap != nullptr && !cap->Spend(text.size())
            ? SaveOutcome{SaveStatus::Failed, {}, false, true}
            : WriteNewFile(Paths.AtlasPath, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (atlas.Status != SaveStatus::Written) return refused(atlas, "atlas");

    ConvertResult result = Converted();
    result.Destination = SheetPagePath(Paths, 0, pages);
    if (Repeats > 0) {
        result.Note = std::to_string(Repeats) + (Repeats == 1 ? " repeated frame shares" : " repeated frames share") +
                      " a cell (" + std::to_string(Stored.size()) + " cells for " + std::to_string(Added()) + " frames)";
    }
    if (pages > 1) {
        result.Note += (result.Note.empty() ? "" : "; ") + std::to_string(pages) + " sheets of at most " +
                       SizeText(o.MaxWidth, o.MaxHeight);
    }
    return result;
}

}  // namespace framelot
