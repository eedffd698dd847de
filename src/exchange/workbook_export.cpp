#include "exchange/workbook_export.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "exchange/row_fields.h"

namespace gaugemon::exchange {

namespace {

constexpr lxw_row_t kHeaderRows = 3;  // titles, upper limits, lower limits
constexpr lxw_row_t kTitleRow = 0;
constexpr lxw_row_t kUpperRow = 1;
constexpr lxw_row_t kLowerRow = 2;

constexpr double kRowNumberWidth = 9;
constexpr double kCodeWidth = 24;
constexpr double kValueWidth = 11;
constexpr double kResultWidth = 8;
constexpr double kTimeWidth = 20;

// The colours a spreadsheet uses for a bad cell: dark red text on light red.
constexpr lxw_color_t kBadFont = 0x9C0006;
constexpr lxw_color_t kBadFill = 0xFFC7CE;

// Cells of a sheet file run to about this many bytes; past 4 GB the archive
// needs its 64-bit extension, which some readers warn about when a file does
// not need it.
constexpr uint64_t kBytesPerCellEstimate = 64;
constexpr uint64_t kPlainArchiveLimit = 3'500'000'000ULL;

constexpr size_t kCopyChunk = 256 * 1024;
// What closing the workbook writes besides the rows: the other parts of the
// package and the packed file, a generous bound.
constexpr uint64_t kPackageSlack = 4 * 1024 * 1024;

// The workbook's formats, made once: every value keeps the decimals it was
// shown with, so there is one number format per count of decimals.
struct Formats {
    lxw_format* title = nullptr;
    lxw_format* rowNumber = nullptr;
    lxw_format* time = nullptr;
    lxw_format* badText = nullptr;
    std::array<lxw_format*, kMaxDecimals + 1> number{};
    std::array<lxw_format*, kMaxDecimals + 1> badNumber{};

    lxw_format* forNumber(const ScaledNumber& n, bool bad) const {
        const int decimals = n.decimals < 0 ? 0 : (n.decimals > kMaxDecimals ? kMaxDecimals : n.decimals);
        return bad ? badNumber[decimals] : number[decimals];
    }
};

std::string numberFormat(int decimals) {
    std::string format = "0";
    if (decimals > 0) format += "." + std::string(static_cast<size_t>(decimals), '0');
    return format;
}

void markBad(lxw_format* format) {
    format_set_font_color(format, kBadFont);
    format_set_bg_color(format, kBadFill);
}

Formats makeFormats(lxw_workbook* workbook) {
    Formats f;
    f.title = workbook_add_format(workbook);
    format_set_bold(f.title);
    format_set_align(f.title, LXW_ALIGN_CENTER);
    f.rowNumber = workbook_add_format(workbook);
    format_set_num_format(f.rowNumber, "000000");
    f.time = workbook_add_format(workbook);
    format_set_num_format(f.time, "yyyy-mm-dd hh:mm:ss");
    f.badText = workbook_add_format(workbook);
    markBad(f.badText);
    for (int d = 0; d <= kMaxDecimals; ++d) {
        f.number[d] = workbook_add_format(workbook);
        format_set_num_format(f.number[d], numberFormat(d).c_str());
        f.badNumber[d] = workbook_add_format(workbook);
        format_set_num_format(f.badNumber[d], numberFormat(d).c_str());
        markBad(f.badNumber[d]);
    }
    return f;
}

double asDouble(const ScaledNumber& n) { return static_cast<double>(n.units) / static_cast<double>(kUnitsPerWhole); }

struct Columns {
    lxw_col_t code = 1;
    lxw_col_t firstValue = 1;
    lxw_col_t result = 0;
    lxw_col_t time = 0;

    explicit Columns(const ExportPlan& plan) {
        firstValue = plan.codeColumn ? 2 : 1;
        result = static_cast<lxw_col_t>(firstValue + plan.probeCount + plan.characteristicCount());
        time = static_cast<lxw_col_t>(result + 1);
    }
};

std::string probeTitle(const ExportPlan& plan, unsigned probe) {
    const char tens = static_cast<char>('0' + probe / 10 % 10);
    const char ones = static_cast<char>('0' + probe % 10);
    std::string title = core::pick(plan.language, "S", "测头");
    title += tens;
    title += ones;
    title += " (";
    title += unitName(plan.unit);
    title += ')';
    return title;
}

// Collects the first error of a run of cell writes.
struct WriteStatus {
    lxw_error error = LXW_NO_ERROR;
    void operator+=(lxw_error e) {
        if (error == LXW_NO_ERROR) error = e;
    }
    bool ok() const { return error == LXW_NO_ERROR; }
};

void setColumnWidths(lxw_worksheet* sheet, const ExportPlan& plan, const Columns& c) {
    worksheet_set_column(sheet, 0, 0, kRowNumberWidth, nullptr);
    if (plan.codeColumn) worksheet_set_column(sheet, c.code, c.code, kCodeWidth, nullptr);
    if (c.result > c.firstValue) worksheet_set_column(sheet, c.firstValue, c.result - 1, kValueWidth, nullptr);
    worksheet_set_column(sheet, c.result, c.result, kResultWidth, nullptr);
    worksheet_set_column(sheet, c.time, c.time, kTimeWidth, nullptr);
}

WriteStatus writeHeader(lxw_worksheet* sheet, const ExportPlan& plan, const Columns& c, const Formats& f) {
    const core::Language l = plan.language;
    WriteStatus status;
    status += worksheet_write_string(sheet, kTitleRow, 0, core::pick(l, "Num", "序号"), f.title);
    if (plan.codeColumn)
        status += worksheet_write_string(sheet, kTitleRow, c.code, core::pick(l, "Code", "编码"), f.title);
    for (unsigned k = 0; k < plan.probeCount; ++k) {
        status += worksheet_write_string(sheet, kTitleRow, c.firstValue + k, probeTitle(plan, k + 1).c_str(), f.title);
    }
    const lxw_col_t firstCharacteristic = c.firstValue + plan.probeCount;
    for (unsigned k = 0; k < plan.characteristicCount(); ++k) {
        const std::string title = plan.characteristicTitles[k] + " (" + unitName(plan.unit) + ')';
        status += worksheet_write_string(sheet, kTitleRow, firstCharacteristic + k, title.c_str(), f.title);
    }
    status += worksheet_write_string(sheet, kTitleRow, c.result, core::pick(l, "Result", "结果"), f.title);
    status += worksheet_write_string(sheet, kTitleRow, c.time, core::pick(l, "Time", "时间"), f.title);

    status += worksheet_write_string(sheet, kUpperRow, 0, core::pick(l, "USL", "上公差"), f.title);
    for (unsigned k = 0; k < plan.probeCount; ++k) {
        status += worksheet_write_number(sheet, kUpperRow, c.firstValue + k, asDouble(plan.upper[k]),
                                         f.forNumber(plan.upper[k], false));
    }
    for (unsigned k = 0; k < plan.characteristicCount(); ++k) {
        const ScaledNumber& upper = plan.characteristicUpper[k];
        status += worksheet_write_number(sheet, kUpperRow, firstCharacteristic + k, asDouble(upper),
                                         f.forNumber(upper, false));
    }
    status += worksheet_write_string(sheet, kLowerRow, 0, core::pick(l, "LSL", "下公差"), f.title);
    for (unsigned k = 0; k < plan.probeCount; ++k) {
        status += worksheet_write_number(sheet, kLowerRow, c.firstValue + k, asDouble(plan.lower[k]),
                                         f.forNumber(plan.lower[k], false));
    }
    for (unsigned k = 0; k < plan.characteristicCount(); ++k) {
        const ScaledNumber& lower = plan.characteristicLower[k];
        status += worksheet_write_number(sheet, kLowerRow, firstCharacteristic + k, asDouble(lower),
                                         f.forNumber(lower, false));
    }
    return status;
}

// A value judged when its row was recorded keeps that judgement, so that
// its cell agrees with the row's Result whatever the limits are now; only a
// row kept without judgements is judged against the limits the file shows.
bool badCell(const ExportPlan& plan, const records::ProbeNumber& recorded, unsigned probe, const ScaledNumber& value) {
    if (recorded.present && recorded.zone != records::RecordedZone::Unjudged) {
        return recorded.zone == records::RecordedZone::Ng;
    }
    return plan.outOfTolerance(probe, value);
}

// A characteristic's value as the chart showed it, in the file's unit; its
// cell is red when it was judged NG (a row kept without judgements: when it
// lies outside the limits the file shows).
WriteStatus writeCharacteristics(lxw_worksheet* sheet, const ExportPlan& plan, const Formats& f,
                                 const records::TableSnapshot& rows, uint32_t index, lxw_row_t at, lxw_col_t first) {
    const records::RowView row = rows.row(index);
    const unsigned count = std::min(plan.characteristicCount(), rows.shape().characteristicCount);
    WriteStatus status;
    for (unsigned k = 0; k < count; ++k) {
        const records::ProbeNumber recorded = row.characteristic(k);
        const std::optional<ScaledNumber> shown = characteristicValue(row, k, plan.unit);
        if (!shown) continue;
        const ScaledNumber& value = *shown;
        const bool bad =
            recorded.zone != records::RecordedZone::Unjudged
                ? recorded.zone == records::RecordedZone::Ng
                : value.units < plan.characteristicLower[k].units || value.units > plan.characteristicUpper[k].units;
        status += worksheet_write_number(sheet, at, first + k, asDouble(value), f.forNumber(value, bad));
    }
    return status;
}

WriteStatus writeRow(lxw_worksheet* sheet, const ExportPlan& plan, const Columns& c, const Formats& f,
                     const records::TableSnapshot& rows, uint32_t index, const records::GbkDecoder& decoder) {
    const records::RowView row = rows.row(index);
    const lxw_row_t at = kHeaderRows + index;
    WriteStatus status;
    status += worksheet_write_number(sheet, at, 0, index + 1.0, f.rowNumber);
    if (plan.codeColumn) {
        const std::string code = codeText(rows.code(index), decoder);
        if (!code.empty()) status += worksheet_write_string(sheet, at, c.code, code.c_str(), nullptr);
    }
    for (unsigned k = 0; k < plan.probeCount; ++k) {
        const auto shown = parseValueText(row.valueText(k + 1).text());
        if (!shown) continue;  // no number to show: the cell stays empty
        const ScaledNumber value = inUnit(*shown, plan.unit);
        status += worksheet_write_number(sheet, at, c.firstValue + k, asDouble(value),
                                         f.forNumber(value, badCell(plan, row.number(k + 1), k, value)));
    }
    status += writeCharacteristics(sheet, plan, f, rows, index, at, c.firstValue + plan.probeCount).error;
    const std::string verdict(verdictText(row.resultCell()));
    if (!verdict.empty()) {
        const bool ng = verdictOf(row.resultCell()) == RowVerdict::Ng;
        status += worksheet_write_string(sheet, at, c.result, verdict.c_str(), ng ? f.badText : nullptr);
    }
    if (const auto time = parseTimeStamp(records::stampText(row.timeStamp()))) {
        lxw_datetime moment{time->year, time->month,  time->day,
                            time->hour, time->minute, static_cast<double>(time->second)};
        status += worksheet_write_datetime(sheet, at, c.time, &moment, f.time);
    } else {
        // A stamp that is no real moment is kept as it was recorded.
        const std::string stamp(records::stampText(row.timeStamp()));
        status += worksheet_write_string(sheet, at, c.time, stamp.c_str(), nullptr);
    }
    return status;
}

// The library does not report a failed write to its temporary files: a full
// disk or a file-size limit would cut the sheet short without a word. The
// rows' file is checked before closing, and closing, which copies the rows
// once more into the sheet and packs it, is begun only with room for that.
int checkRowsFile(lxw_worksheet* sheet, const std::string& directory) {
    FILE* rows = sheet->optimize_tmpfile;
    if (!rows) return 0;
    errno = 0;
    if (std::fflush(rows) != 0 || std::ferror(rows)) return errno ? errno : EIO;
    const long written = std::ftell(rows);
    if (written < 0) return errno ? errno : EIO;
    const uint64_t sheetBytes = static_cast<uint64_t>(written) + kPackageSlack;
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < sheetBytes) {
        return EFBIG;
    }
    // The sheet's copy, then the packed workbook and its copy into the
    // target's place; packed XML takes far less than half its size.
    struct statvfs space {};
    if (::statvfs(directory.c_str(), &space) == 0 &&
        static_cast<uint64_t>(space.f_bavail) * space.f_frsize < sheetBytes + sheetBytes / 2) {
        return ENOSPC;
    }
    return 0;
}

bool needsLargeArchive(const records::TableSnapshot& rows, const ExportPlan& plan) {
    const uint64_t cells =
        (static_cast<uint64_t>(rows.rowCount()) + kHeaderRows) * (plan.probeCount + plan.characteristicCount() + 4);
    return cells * kBytesPerCellEstimate > kPlainArchiveLimit;
}

// The library prints numbers with printf, which writes the decimal separator
// of the locale: under a German locale "4,321", which no reader takes for a
// number. The workbook is built under the C locale, on this thread only.
class ClassicNumbers {
public:
    ClassicNumbers() : classic_(::newlocale(LC_ALL_MASK, "C", nullptr)) {
        if (classic_) previous_ = ::uselocale(classic_);
    }
    ~ClassicNumbers() {
        if (!classic_) return;
        ::uselocale(previous_);
        ::freelocale(classic_);
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;
    bool active() const { return classic_ != nullptr; }

private:
    locale_t classic_;
    locale_t previous_ = nullptr;
};

// Builds the workbook at `stagingPath`; 0 or an errno value.
int buildWorkbook(const records::TableSnapshot& rows, const ExportPlan& plan, const std::string& stagingPath,
                  const std::string& directory, records::WriteControl* control) {
    const ClassicNumbers classic;
    if (!classic.active()) return errno ? errno : ENOMEM;
    // Constant memory: each row goes to a temporary file as soon as the next
    // one begins, so a full table costs no more memory than a single row.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(directory.c_str());
    options.use_zip64 = needsLargeArchive(rows, plan) ? LXW_TRUE : LXW_FALSE;
    errno = 0;
    lxw_workbook* workbook = workbook_new_opt(stagingPath.c_str(), &options);
    if (!workbook) return errno ? errno : ENOMEM;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, core::pick(plan.language, "Records", "记录"));
    const Formats formats = makeFormats(workbook);
    const Columns columns(plan);
    setColumnWidths(sheet, plan, columns);
    worksheet_freeze_panes(sheet, kHeaderRows, 0);

    WriteStatus status = writeHeader(sheet, plan, columns, formats);
    const records::GbkDecoder decoder;
    bool stopped = false;
    for (uint32_t r = 0; r < rows.rowCount() && status.ok(); ++r) {
        status += writeRow(sheet, plan, columns, formats, rows, r, decoder).error;
        if (!control) continue;
        control->rowsWritten(r + 1);
        if ((stopped = control->stopRequested())) break;
    }
    const int rowsError = status.ok() && !stopped ? checkRowsFile(sheet, directory) : 0;
    errno = 0;
    const lxw_error closed = workbook_close(workbook);  // frees the workbook whatever happens
    const int closeErrno = errno;
    if (stopped) return ECANCELED;
    if (!status.ok()) return status.error == LXW_ERROR_MEMORY_MALLOC_FAILED ? ENOMEM : EIO;
    if (rowsError) return rowsError;
    if (closed != LXW_NO_ERROR) return closeErrno ? closeErrno : EIO;
    return 0;
}

// A name beside the target that the record files' writer recognises as its
// own temporary (".<name>.tmp<pid>-<12 random characters>"), so a workbook
// left behind by a killed process is cleared away by the next write there.
bool stagingName(const std::filesystem::path& target, std::string& path) {
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[12];
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return false;
    std::string name = "." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "-";
    for (unsigned char b : bytes) name.push_back(kAlphabet[b % kAlphabet.size()]);
    path = ((target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path()) / name).string();
    return true;
}

// A target the file writer would refuse (a read-only file) is refused before
// the long build of the workbook.
int refusedTarget(const std::string& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return 0;
    return ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
}

bool copyInto(int fd, records::ByteSink& sink) {
    for (;;) {
        char* room = sink.reserve(kCopyChunk);
        if (!room) return false;
        const ssize_t got = ::read(fd, room, kCopyChunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        sink.commit(static_cast<size_t>(got));
    }
}

}  // namespace

records::FileWriteResult writeWorkbook(const records::TableSnapshot& rows, const ExportPlan& plan,
                                       const std::string& path, records::WriteControl* control) {
    records::FileWriteResult result;
    result.path = path;
    if ((result.error = refusedTarget(path))) return result;
    const std::filesystem::path target(path);
    std::string staging;
    if (!stagingName(target, staging)) {
        result.error = errno ? errno : EIO;
        return result;
    }
    const std::string directory = target.parent_path().empty() ? "." : target.parent_path().string();
    if (const int error = buildWorkbook(rows, plan, staging, directory, control)) {
        ::unlink(staging.c_str());
        result.error = error;
        return result;
    }
    // The finished workbook goes through the same replacement as every record
    // file: synced, put in place by rename, the target's permissions kept.
    const int fd = ::open(staging.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = errno;
        ::unlink(staging.c_str());
        return result;
    }
    ::unlink(staging.c_str());  // the open descriptor keeps the bytes until it closes
    result = records::replaceFile(path, [fd](records::ByteSink& sink) { return copyInto(fd, sink); });
    ::close(fd);
    // Windows removes no file that is open: there the name goes only now.
    ::unlink(staging.c_str());
    return result;
}

}  // namespace gaugemon::exchange
