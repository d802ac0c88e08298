#include "intake/CatalogueImport.h"

#include "base/ChunkedWork.h"
#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "catalogue/ReadingFill.h"
#include "catalogue/ReadingSuggester.h"
#include "db/Connection.h"
#include "intake/TellicoSource.h"

#include <QFile>

#include <algorithm>

namespace hondana::intake {

namespace {

const char *const MasterListNames[] = {"著者", "発行所", "分野", "サイズ"};

QString lookAlikeReason(IntakeLookAlike::Reason reason) {
    return reason == IntakeLookAlike::Reason::SameIsbn ? QStringLiteral("ISBN が同じ")
                                                       : QStringLiteral("題名・ｼﾘｰｽﾞ・著者が同じ");
}

} // namespace

ImportFile ImportFile::read(const QString &path, std::optional<ImportFormat> format,
                            TextEncoding encoding) {
    QFile device(path);
    if (!device.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("「%1」を開けません: %2").arg(path, device.errorString()));
    ImportFile file;
    const bool zipped = isZip(device.peek(4));
    if (format == ImportFormat::Tellico || (!format && zipped)) {
        device.close();
        file.table = TellicoSource::read(path);
        format = ImportFormat::Tellico;
    } else {
        file.table = CsvSource::read(device, encoding);
        if (!format)
            format = recogniseTable(file.table);
    }
    file.format = &formatDescription(*format);
    nameColumns(file.table, *file.format);
    file.mapping = defaultMapping(file.table, *file.format);
    if (std::none_of(file.mapping.rules.begin(), file.mapping.rules.end(),
                     [](const ColumnRule &rule) { return rule.target >= 0; }))
        throw Failure(QStringLiteral("「%1」の列は、どれも本の欄に当てはまりません（見出しの"
                                     "列名が分かりません）。何も取り込みません。")
                          .arg(path));
    return file;
}

ImportPreview::ImportPreview(Connection &connection, const ImportFile &file)
    : m_label(file.format->label), m_encoding(file.table.encoding),
      m_rows(int(file.table.records.size())) {
    // Each row converts on its own, so a large file's rows are shared among the cores.
    const QList<SourceRecord> &records = file.table.records;
    QList<IncomingBook> books(records.size());
    QList<QList<RowProblem>> problems(records.size());
    IncomingBook *book = books.data();
    QList<RowProblem> *refused = problems.data();
    runInChunks(
        records.size(), 512, 0,
        [&] {
            return [&](qsizetype begin, qsizetype end) {
                for (qsizetype i = begin; i < end; ++i)
                    book[i] = file.mapping.convert(records[i], refused[i]);
            };
        },
        [](qsizetype) { return true; });
    // The books are kept where they were made, the refused rows' closed up: a whole collection's
    // books are too many to move into new memory.
    m_lines.reserve(records.size());
    qsizetype kept = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        if (!problems[i].isEmpty()) {
            m_readProblems += problems[i];
            continue;
        }
        if (kept != i)
            book[kept] = std::move(book[i]);
        ++kept;
        m_lines.append(records[i].line);
    }
    books.resize(kept);
    m_books = std::move(books);
    m_plan = BookIntake(connection).plan(m_books);
}

QList<RowProblem> ImportPreview::refusedRows() const {
    QList<RowProblem> rows = m_readProblems;
    for (const IntakeProblem &problem : m_plan.problems)
        rows.append({m_lines.value(problem.book), problem.column, problem.value, problem.why});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const RowProblem &a, const RowProblem &b) { return a.line < b.line; });
    return rows;
}

QString ImportPreview::text(Duplicates duplicates) const {
    QStringList lines;
    lines << QStringLiteral("形式: %1（%2）  行: %3").arg(m_label, m_encoding).arg(m_rows);
    lines << QStringLiteral("追加する本: %1 冊").arg(m_plan.addedCount(duplicates));
    for (int list = 0; list < 4; ++list) {
        const QStringList names = m_plan.mastersToCreate(MasterList(list), duplicates);
        if (names.isEmpty())
            continue;
        // A whole collection brings hundreds of names; the first few tell what they are.
        const QString shown = names.mid(0, 30).join(QStringLiteral("、")) +
                              (names.size() > 30 ? QStringLiteral(" ほか") : QString());
        lines << QStringLiteral("作る%1: %2 件（%3）")
                     .arg(QString::fromUtf8(MasterListNames[list]))
                     .arg(names.size())
                     .arg(shown);
    }
    const QList<RowProblem> refused = refusedRows();
    if (!refused.isEmpty()) {
        lines << QStringLiteral("取り込めない行: %1 件").arg(refused.size());
        for (const RowProblem &problem : refused)
            lines << QStringLiteral("  %1 行目 %2「%3」: %4")
                         .arg(problem.line)
                         .arg(problem.column, problem.value, problem.why);
    }
    if (!m_plan.lookAlikes.isEmpty()) {
        lines << QStringLiteral("目録にある本と似ている本: %1 冊（%2）")
                     .arg(m_plan.lookAlikes.size())
                     .arg(duplicates == Duplicates::Skip ? QStringLiteral("取り込みません")
                                                         : QStringLiteral("それでも追加します"));
        for (const IntakeLookAlike &alike : m_plan.lookAlikes)
            lines << QStringLiteral("  %1 行目「%2」: %3")
                         .arg(m_lines.value(alike.book))
                         .arg(m_books[alike.book].title, lookAlikeReason(alike.reason));
    }
    return lines.join(u'\n');
}

QList<qint64> importBooks(Connection &connection, const ImportPreview &preview,
                          Duplicates duplicates, const Progress &progress) {
    const AddedBooks added =
        BookIntake(connection).add(preview.books(), preview.plan(), duplicates, progress);
    faultpoint("import.added");
    // Readings the file did not bring are suggested for what it added alone: the rest of the
    // catalogue is the reading pass's, and what the suggester could not read there it would not
    // read now either.
    if (!added.unread.isEmpty())
        fillSuggestedReadings(connection, ReadingSuggester(), added.unread);
    return added.rowIds;
}

} // namespace hondana::intake
