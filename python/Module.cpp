// framelot._framelot: the core for Python, over paths and bytes. The
// package (framelot/__init__.py) turns what these calls return into its
// objects and exceptions; every result comes back as a dict of plain values
// ("status", "failure", "reason", ...), so the package decides what raises.
//
// Every call lets go of the GIL while the core reads, decodes or writes, so
// Python threads run meanwhile; the GIL is held only to make Python objects.
// A FrameStream belongs to the iterator that made it; Python calls its
// methods one at a time.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <new>
#include <thread>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ArrayMemory.h"
#include "convert/BatchRunner.h"
#include "convert/Describe.h"
#include "convert/FileInfo.h"
#include "convert/FolderFiles.h"
#include "convert/FrameReading.h"
#include "convert/FrameStream.h"
#include "convert/OutputArguments.h"
#include "convert/OutputPlan.h"
#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"
#include "imaging/Cores.h"
#include "imaging/Limits.h"
#include "output/encoders/ArrayBuilder.h"
#include "output/files/SizeInWords.h"

namespace py = pybind11;

namespace {

using namespace framelot;

const char* StatusWord(ConvertStatus status)
{
    switch (status) {
    case ConvertStatus::Converted: return "converted";
    case ConvertStatus::Skipped: return "skipped";
    case ConvertStatus::NotAnimation: return "not_animation";
    case ConvertStatus::Unreadable: return "unreadable";
    case ConvertStatus::Failed: return "failed";
    }
    return "failed";
}

const char* FailureWord(FailureKind kind)
{
    switch (kind) {
    case FailureKind::None: return "none";
    case FailureKind::OverLimit: return "over_limit";
    case FailureKind::Damaged: return "damaged";
    case FailureKind::FileSystem: return "file_system";
    case FailureKind::Usage: return "usage";
    }
    return "none";
}

py::dict ResultDict(const ConvertResult& r)
{
    py::dict d;
    d["status"] = StatusWord(r.Status);
    d["failure"] = FailureWord(r.Failure);
    d["reason"] = r.Reason;
    d["damage"] = r.Damage;
    d["note"] = r.Note;
    d["frames_written"] = r.FramesWritten;
    d["frames_existing"] = r.FramesExisting;
    d["destination"] = r.Destination;
    d["folder"] = r.FramesFolder;
    return d;
}

// A source as the package hands it on: a path (str) or bytes-like data.
struct Source {
    std::vector<std::uint8_t> Bytes;
    const SourceFormat* Format = nullptr;
    ConvertResult Result = Converted();  // why it cannot be read, when it cannot
    std::string Name;                    // the path, or empty for data
};

// Reads a path (its format by its extension, as a drop's) or copies data
// (its format by its signature); the size limit holds for both.
Source ReadSource(const py::object& source)
{
    Source s;
    if (py::isinstance<py::str>(source)) {
        s.Name = source.cast<std::string>();
        s.Format = FormatOfPath(s.Name);
        if (s.Format == nullptr) {
            s.Result = NotAnimation(NotAnAnimationName);
            return s;
        }
        SourceFile file;
        {
            py::gil_scoped_release released;
            file = ReadSourceFile(s.Name);
        }
        if (!file.Ok) s.Result = {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};
        s.Bytes = std::move(file.Bytes);
        return s;
    }
    const py::buffer_info data = py::buffer(source).request();
    const auto size = static_cast<std::uint64_t>(data.size) * static_cast<std::uint64_t>(data.itemsize);
    if (size > MaxSourceBytes) {
        s.Result = OverLimit("the data is larger than the " + DescribeByteCount(MaxSourceBytes) + " limit");
        return s;
    }
    const auto* first = static_cast<const std::uint8_t*>(data.ptr);
    s.Bytes.assign(first, first + size);
    s.Format = FormatOfBytes(s.Bytes);
    if (s.Format == nullptr) s.Result = NotAnimation(NotAnAnimationData);
    return s;
}

// The options as words the command line takes; raises ValueError with the
// command line's reason when they are refused.
OutputOptions ReadWords(const std::vector<std::string>& words)
{
    OutputOptions options;
    if (std::string error = ReadOutputArguments(words, options); !error.empty()) throw py::value_error(error);
    return options;
}

// Options for frames in memory: those that choose and shape frames only.
OutputOptions ReadFrameWords(const std::vector<std::string>& words)
{
    OutputOptions options = ReadWords(words);
    if (std::string refused = FilesOnlyRefusal(options); !refused.empty()) throw py::value_error(refused);
    return options;
}

// `pixels` handed to NumPy without a copy: the array owns them.
py::array_t<std::uint8_t> OwnedArray(std::vector<std::uint8_t>&& pixels, std::vector<py::ssize_t> shape,
                                     std::size_t offset)
{
    auto* owned = new std::vector<std::uint8_t>(std::move(pixels));
    py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<std::uint8_t>*>(p); });
    std::vector<py::ssize_t> strides(shape.size(), 1);
    for (std::size_t i = shape.size() - 1; i > 0; --i) strides[i - 1] = strides[i] * shape[i];
    return py::array_t<std::uint8_t>(shape, strides, owned->data() + offset, owner);
}

py::array_t<std::uint8_t> FrameArray(Bitmap&& frame)
{
    return OwnedArray(std::move(frame.Pixels), {frame.Height, frame.Width, 4}, 0);
}

// --info --json's description of one source, as text, and the result.
py::tuple Describe(const py::object& source)
{
    Source s = ReadSource(source);
    AnimationInfo info;
    if (s.Result.Status == ConvertStatus::Converted) {
        py::gil_scoped_release released;
        s.Result = s.Format->Describe(s.Bytes, info);
    }
    return py::make_tuple(FileInfoJson(s.Name, s.Result, info), ResultDict(s.Result));
}

// A stream of one source's frames; None when the source cannot be read as
// asked, with the result saying why.
py::tuple OpenFrames(const py::object& source, const std::vector<std::string>& words)
{
    const OutputOptions options = ReadFrameWords(words);
    Source s = ReadSource(source);
    if (s.Result.Status != ConvertStatus::Converted) return py::make_tuple(py::none(), ResultDict(s.Result));
    std::unique_ptr<FrameStream> stream;
    ConvertResult planned;
    {
        py::gil_scoped_release released;
        stream = std::make_unique<FrameStream>(std::move(s.Bytes), *s.Format, options, true);
        planned = stream->Outcome().Result;
    }
    if (planned.Status != ConvertStatus::Converted) return py::make_tuple(py::none(), ResultDict(planned));
    return py::make_tuple(py::cast(std::move(stream)), ResultDict(planned));
}

// The stream's next frame as (index, start ms, duration ms, pixels), or None
// at the end.
py::object NextFrame(FrameStream& stream)
{
    StreamedFrame frame;
    bool got = false;
    {
        py::gil_scoped_release released;
        got = stream.Next(frame);
    }
    if (!got) return py::none();
    return py::make_tuple(frame.Index, frame.StartMs, frame.DurationMs, FrameArray(std::move(frame.Pixels)));
}

py::dict StreamOutcome(FrameStream& stream)
{
    ReadOutcome outcome;
    {
        py::gil_scoped_release released;
        outcome = stream.Outcome();
    }
    py::dict d = ResultDict(outcome.Result);
    d["loops"] = outcome.Plan.Info.Loops ? py::cast(*outcome.Plan.Info.Loops) : py::none();
    d["frames"] = outcome.Delivered;
    return d;
}

// The frames as --npy's array: (array or None, durations, indices, result).
// The array's memory is mapped at its planned size before decoding (checked
// against MaxArrayBytes first) and each frame is laid straight into it.
py::tuple ReadArray(const py::object& source, const std::vector<std::string>& words)
{
    const OutputOptions options = ReadFrameWords(words);
    Source s = ReadSource(source);
    if (s.Result.Status != ConvertStatus::Converted) {
        return py::make_tuple(py::none(), py::list(), py::list(), ResultDict(s.Result));
    }
    std::vector<double> durations;
    std::vector<std::uint64_t> indices;
    ArrayMemory memory;
    ReadOutcome outcome;
    std::uint64_t width = 0, height = 0;
    {
        py::gil_scoped_release released;
        outcome = PlanFrameReading(s.Bytes, *s.Format, options, true);
        const OutputPlan& plan = outcome.Plan;
        width = static_cast<std::uint64_t>(std::max<std::int64_t>(plan.FrameWidth, 0));
        height = static_cast<std::uint64_t>(std::max<std::int64_t>(plan.FrameHeight, 0));
        const std::uint64_t slot = width * height * 4;
        if (outcome.Result.Status == ConvertStatus::Converted) outcome.Result = CheckArraySize(plan.Cells, width, height);
        if (outcome.Result.Status == ConvertStatus::Converted) {
            memory = MapArrayMemory(plan.Cells * slot);
            if (memory.Data == nullptr) throw std::bad_alloc();
            // The system zeroes the pages on a thread beside the decoding.
            std::atomic<bool> filled{false};
            std::thread toucher([&] { TouchArrayMemory(memory, filled); });
            DecodePlannedFrames(s.Bytes, *s.Format, outcome, [&](const DeliveredFrame& frame) {
                if (indices.size() >= plan.Cells) return false;  // more than planned cannot happen; never past the end
                LayAtOrigin(frame.Pixels, width, height, memory.Data + indices.size() * slot);
                indices.push_back(frame.Index);
                durations.push_back(frame.DurationMs);
                return true;
            });
            filled = true;
            toucher.join();
        }
    }
    py::dict result = ResultDict(outcome.Result);
    result["loops"] = outcome.Plan.Info.Loops ? py::cast(*outcome.Plan.Info.Loops) : py::none();
    if (memory.Data == nullptr) return py::make_tuple(py::none(), durations, indices, result);
    auto* owned = new ArrayMemory(memory);
    py::capsule owner(owned, [](void* p) {
        UnmapArrayMemory(*static_cast<ArrayMemory*>(p));
        delete static_cast<ArrayMemory*>(p);
    });
    const auto w = static_cast<py::ssize_t>(width), h = static_cast<py::ssize_t>(height);
    py::array_t<std::uint8_t> pixels({static_cast<py::ssize_t>(indices.size()), h, w, py::ssize_t{4}},
                                     {h * w * 4, w * 4, py::ssize_t{4}, py::ssize_t{1}}, memory.Data, owner);
    return py::make_tuple(pixels, durations, indices, result);
}

// The files `paths` stand for (folders expanded, in name order) and the
// folders that stood for none.
py::tuple Expand(const std::vector<std::string>& paths, bool recursive, const std::string& keepOut)
{
    std::vector<std::string> files, empty;
    {
        py::gil_scoped_release released;
        files = ExpandFolders(paths, recursive, &empty, keepOut);
    }
    return py::make_tuple(files, empty);
}

// Converts `files` as one drop of the command line, up to `jobs` side by
// side: a result dict a file, in the order given, each with its "path" and
// the command line's "line". Raises ValueError for refused options, and for
// names every file would share.
py::list Convert(const std::vector<std::string>& files, const std::vector<std::string>& words, unsigned jobs)
{
    const OutputOptions options = ReadWords(words);
    if (std::string same = SameNamesRefusal(files, options); !same.empty()) throw py::value_error(same);
    DropReport report;
    {
        py::gil_scoped_release released;
        BatchEvents events;
        events.DropDone = [&](const DropReport& r) { report = r; };
        BatchRunner runner({std::max(jobs, 1u), [&] { return options.MakeFolder; }, {}, options}, std::move(events));
        runner.Submit(files);
        runner.Wait();
    }
    py::list results;
    for (const BatchFile& file : report.Files) {
        py::dict d = ResultDict(file.Result);
        d["path"] = file.Path;
        d["line"] = DescribeResult(file.Path, file.Result);
        results.append(d);
    }
    return results;
}

// The drop's files in groups whose outputs may share a path, as lists of
// positions: a group's files must be converted one after the other, in order.
// Raises ValueError as Convert does.
std::vector<std::vector<std::size_t>> Groups(const std::vector<std::string>& files, const std::vector<std::string>& words)
{
    const OutputOptions options = ReadWords(words);
    if (std::string same = SameNamesRefusal(files, options); !same.empty()) throw py::value_error(same);
    py::gil_scoped_release released;
    return GroupByPlan(files, options);
}

}  // namespace

PYBIND11_MODULE(_framelot, m)
{
    m.doc() = "The Framelot core: frames of animated GIF, PNG (APNG), WebP, AVIF and JPEG XL files.";
    py::class_<FrameStream>(m, "FrameStream")
        .def("next", &NextFrame, "The next frame as (index, start ms, duration ms, pixels), or None at the end.")
        .def("outcome", &StreamOutcome, "What reading came to, once next() has returned None.");
    m.def("describe", &Describe, py::arg("source"), "(JSON text, result): --info --json's description of a path or bytes.");
    m.def("open_frames", &OpenFrames, py::arg("source"), py::arg("words"),
          "(stream or None, result): a stream of the source's frames, or why there is none.");
    m.def("read", &ReadArray, py::arg("source"), py::arg("words"),
          "(array or None, durations ms, indices, result): the frames as --npy's array.");
    m.def("expand", &Expand, py::arg("paths"), py::arg("recursive"), py::arg("keep_out"),
          "(files, empty folders): the files the paths stand for, folders expanded.");
    m.def("convert", &Convert, py::arg("files"), py::arg("words"), py::arg("jobs"),
          "A result dict a file, in order: the files converted as the command line does.");
    m.def("groups", &Groups, py::arg("files"), py::arg("words"),
          "Positions of the files in groups whose outputs may share a path.");
    m.def("check_options", [](const std::vector<std::string>& words) { ReadWords(words); }, py::arg("words"),
          "Raises ValueError when the command line would refuse the options.");
    m.attr("version") = FRAMELOT_VERSION;
    m.attr("cores") = CoreCount();
    m.attr("max_jobs") = MaxBatchJobs;
}
