// The Python module: gridtally.read() gives a replay's report as a dict,
// gridtally.rows() an archive's flat rows as dicts. Both go through the
// program's own pipeline and parse its JSON with Python's json module.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/archive_inputs.h"
#include "carset/carset.h"
#include "document/version.h"
#include "pipeline/archive_lines.h"
#include "pipeline/replay_report.h"
#include "replay/replay_file.h"
#include "text/format.h"

namespace py = pybind11;

namespace {

class WarningList final : public Diagnostics {
public:
    void warning(std::string_view text) override { warnings.emplace_back(text); }
    void notice(std::string_view) override {}
    std::vector<std::string> warnings;
};

CarsetChoice carsetChoice(const std::optional<std::string>& carset, bool detectCarset) {
    return CarsetChoice{carset.value_or(""), detectCarset};
}

// A file system path as the program takes it: str or os.PathLike.
std::string pathOf(const py::handle& path) { return py::str(py::module_::import("os").attr("fspath")(path)); }

bool isBytes(const py::handle& source) {
    return py::isinstance<py::bytes>(source) || py::isinstance<py::bytearray>(source) ||
           py::isinstance<py::memoryview>(source);
}

std::string bytesOf(const py::handle& source) {
    return py::module_::import("builtins").attr("bytes")(source).cast<std::string>();
}

py::object readReport(const py::object& source, bool laps, const std::optional<std::string>& carset, bool detectCarset) {
    ReportOptions options;
    options.format = ReportFormat::JSON;
    options.laps = laps;
    const CarsetChoice choice = carsetChoice(carset, detectCarset);
    StringSink sink;
    WarningList diagnostics;
    if (isBytes(source)) {
        const std::string bytes = bytesOf(source);
        const std::span data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        py::gil_scoped_release unlocked;
        writeReplayReport("<bytes>", data, choice, options, sink, diagnostics);
    } else {
        const std::string path = pathOf(source);
        py::gil_scoped_release unlocked;
        checkReportInputs(path, choice);
        writeReplayReport(path, choice, options, sink, diagnostics);
    }
    const py::object warn = py::module_::import("warnings").attr("warn");
    for (const std::string& text : diagnostics.warnings) warn(text, py::module_::import("builtins").attr("UserWarning"), 2);
    return py::module_::import("json").attr("loads")(sink.text());
}

// Reads the replays a batch at a time, on as many threads as asked, and
// hands out their rows one by one.
class RowIterator {
public:
    // Replays from memory name bytes, which live as long as the iterator.
    RowIterator(std::vector<ArchiveInput> inputs, std::deque<std::string> bytes, ArchiveOptions options)
        : inputs_(std::move(inputs)), bytes_(std::move(bytes)), options_(std::move(options)),
          loads_(py::module_::import("json").attr("loads")) {}
    RowIterator(RowIterator&&) = default; // the bytes stay where the inputs point
    RowIterator(const RowIterator&) = delete;

    py::object next() {
        while (lines_.empty() && next_ < inputs_.size()) readBatch();
        if (lines_.empty()) throw py::stop_iteration();
        py::object row = loads_(lines_.front());
        lines_.pop_front();
        return row;
    }

private:
    void readBatch() {
        const std::size_t count = std::min(inputs_.size() - next_, std::size_t(options_.threads) * 4);
        const std::span<const ArchiveInput> batch(inputs_.data() + next_, count);
        next_ += count;
        py::gil_scoped_release unlocked;
        readArchiveLines(batch, options_,
                         [this](ArchiveTable, std::string_view line) { lines_.emplace_back(line); });
    }

    std::vector<ArchiveInput> inputs_;
    std::deque<std::string> bytes_;
    ArchiveOptions options_;
    py::object loads_;
    std::size_t next_ = 0;
    std::deque<std::string> lines_;
};

RowIterator archiveRows(const py::object& paths, bool laps, unsigned threads, const std::optional<std::string>& carset,
                 bool detectCarset) {
    std::vector<std::string> arguments;
    std::deque<std::string> bytes; // replays in memory, after those of the paths
    if (isBytes(paths)) {
        bytes.push_back(bytesOf(paths));
    } else if (py::isinstance<py::str>(paths) || py::hasattr(paths, "__fspath__")) {
        arguments.push_back(pathOf(paths));
    } else {
        for (const py::handle path : paths) {
            if (isBytes(path)) bytes.push_back(bytesOf(path));
            else arguments.push_back(pathOf(path));
        }
    }
    std::vector<ArchiveInput> inputs;
    for (std::string& path : replayPaths(arguments)) inputs.push_back(ArchiveInput{std::move(path), false, {}});
    for (const std::string& replay : bytes)
        inputs.push_back(ArchiveInput{"<bytes>", false, std::span(reinterpret_cast<const std::uint8_t*>(replay.data()),
                                                                    replay.size())});
    ArchiveOptions options;
    options.laps = laps;
    options.threads = std::max(1u, threads);
    options.carset = carsetChoice(carset, detectCarset);
    return RowIterator(std::move(inputs), std::move(bytes), options);
}

} // namespace

PYBIND11_MODULE(gridtally, m) {
    m.doc() = "Race-weekend reports and an archive's flat rows from replay files.";
    m.attr("__version__") = programVersion + 1;
    // Every failure is a gridtally.Error with the message the program prints.
    static py::exception<std::runtime_error> error(m, "Error");
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) std::rethrow_exception(failure);
        } catch (const py::builtin_exception&) {
            throw; // StopIteration and its kin are pybind11's own
        } catch (const ReplayAccessError& e) {
            error(formatText(" accessing file %s", e.what()).c_str());
        } catch (const std::runtime_error& e) {
            error(e.what());
        }
    });
    py::class_<RowIterator>(m, "RowIterator")
        .def("__iter__", [](RowIterator& self) -> RowIterator& { return self; })
        .def("__next__", &RowIterator::next);
    m.def("read", &readReport, py::arg("source"), py::kw_only(), py::arg("laps") = false, py::arg("carset") = py::none(),
          py::arg("detect_carset") = false,
          "The JSON report of a replay (a path, or its bytes) as a dict.");
    m.def("rows", &archiveRows, py::arg("paths"), py::arg("laps") = false, py::kw_only(), py::arg("threads") = 1,
          py::arg("carset") = py::none(), py::arg("detect_carset") = false,
          "The archive rows of the replays (paths and folders, and bytes: those after the paths, named "
          "<bytes>) as dicts, each naming its table, in the order of gridtally --archive; a broken replay "
          "gives its replays row with the error.");
}
