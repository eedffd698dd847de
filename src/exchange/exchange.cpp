#include "exchange/exchange.h"

#include "exchange/aqdef_export.h"
#include "exchange/workbook_export.h"
#include "records/record_texts.h"

namespace gaugemon::exchange {

ExchangeResult writeExchangeFile(ExchangeFormat format, records::RecordTable& table,
                                 const records::RecordSources& sources, bool codeInputNow,
                                 const ExchangeOptions& options, const std::string& path) {
    const ExportPlan plan = planExport(table, sources, codeInputNow, options.unit);
    const uint64_t stamp = table.changeStamp();
    ExchangeResult result;
    if (format == ExchangeFormat::Workbook) {
        result.file = writeWorkbook(table, plan, path);
    } else {
        result = writeAqdef(table, plan, options, path);
    }
    if (result.ok()) table.markSaved(stamp);
    return result;
}

std::string exchangeMessage(const ExchangeResult& result, core::Language language) {
    if (result.ok()) return core::pick(language, records::text::kExportDoneEn, records::text::kExportDoneZh);
    if (!result.refusal.empty()) return result.refusal;
    return records::fileErrorMessage(result.file, language);
}

}  // namespace gaugemon::exchange
