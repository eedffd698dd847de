#include "exchange/exchange.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "exchange/aqdef_export.h"
#include "exchange/utf8_csv_export.h"
#include "exchange/workbook_export.h"
#include "records/record_texts.h"

namespace gaugemon::exchange {

namespace {

ExchangeResult writeRows(ExchangeFormat format, const records::TableSnapshot& rows, const ExportPlan& plan,
                         const ExchangeOptions& options, const std::string& path, records::WriteControl* control) {
    ExchangeResult result;
    switch (format) {
        case ExchangeFormat::Workbook: result.file = writeWorkbook(rows, plan, path, control); break;
        case ExchangeFormat::Aqdef: result = writeAqdef(rows, plan, options, path, control); break;
        case ExchangeFormat::Utf8Csv: result.file = writeUtf8Csv(rows, plan, path, control); break;
    }
    return result;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

}  // namespace

std::optional<ExchangeSave> exchangeSaveFor(const core::SaveChoice& choice, int recordFilterCount) {
    const std::string extension = lowerCase(std::filesystem::path(choice.path).extension().string());
    for (const ExchangeFilter& filter : kExchangeFilters) {
        if (filter.extensionChoosesFormat && extension == filter.extension)
            return ExchangeSave{filter.format, choice.path};
    }
    const auto format = exchangeFormatForFilter(choice.filterIndex, recordFilterCount);
    if (!format) return std::nullopt;
    ExchangeSave save{*format, choice.path};
    if (extension.empty())
        save.path += kExchangeFilters[static_cast<size_t>(choice.filterIndex - recordFilterCount)].extension;
    return save;
}

ExchangeResult writeExchangeFile(ExchangeFormat format, records::RecordTable& table,
                                 const records::RecordSources& sources, bool codeInputNow,
                                 const ExchangeOptions& options, const std::string& path) {
    const ExportPlan plan = planExport(table, sources, codeInputNow, options.unit);
    records::CodeSlotCopy codes;
    const records::TableSnapshot rows(table, codes);
    ExchangeResult result = writeRows(format, rows, plan, options, path, nullptr);
    if (result.ok()) table.markSaved(rows.stamp());
    return result;
}

bool startExchangeFile(records::SnapshotWriter& writer, ExchangeFormat format, records::RecordTable& table,
                       const records::RecordSources& sources, bool codeInputNow, const ExchangeOptions& options,
                       const std::string& path, std::function<void(const ExchangeResult&)> done,
                       records::WriteControl::Progress progress) {
    // A refusal is found on the writer's thread, and comes back beside the file's result.
    auto result = std::make_shared<ExchangeResult>();
    records::SnapshotWriter::Job job;
    job.write = [result, format, plan = planExport(table, sources, codeInputNow, options.unit), options, path](
                    const records::TableSnapshot& rows, records::WriteControl& control) {
        *result = writeRows(format, rows, plan, options, path, &control);
        return result->file;
    };
    job.done = [&table, result, done = std::move(done)](const records::FileWriteResult& file,
                                                        const records::TableSnapshot& rows) {
        result->file = file;  // a stop is told here
        // Rows appended or codes changed during the write keep the table unsaved.
        if (result->ok()) table.markSaved(rows.stamp());
        done(*result);
    };
    job.progress = std::move(progress);
    job.stoppable = true;
    return writer.start(table, std::move(job));
}

std::string exchangeMessage(const ExchangeResult& result, core::Language language) {
    if (result.ok()) return core::pick(language, records::text::kExportDoneEn, records::text::kExportDoneZh);
    if (!result.refusal.empty()) return result.refusal;
    return records::fileErrorMessage(result.file, language);
}

}  // namespace gaugemon::exchange
