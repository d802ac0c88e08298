// The staged data set is what a new data folder starts with: everything the screens and the help
// window open before the user has typed anything. Each check runs on a copy, as a user's has.

#include "base/FileNames.h"
#include "db/ShapeCommand.h"
#include "maintenance/BackupFormat.h"
#include "masters/MasterDescription.h"
#include "register/BookRegister.h"
#include "register/RegisterForm.h"
#include "retrieval/GroupedListDescription.h"
#include "retrieval/QueryScreenDescription.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

template <typename List, typename M> static QStringList names(const List &list, M column) {
    QStringList names;
    for (const auto &element : list)
        names << element.*column;
    return names;
}

class ShippedData : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each source of both templates runs and has every column a screen's description names (else
    // it shows blank). A table the backup saves has exactly its backup file's columns (`whole`),
    // and is STRICT, so no word goes into a number column for the backup to cut.
    void templatesServeTheScreens_data() {
        columns<QString, QString, QStringList, bool>({"database", "source", "columns", "whole"});
        const auto row = [](const QString &user, const QString &source, const QStringList &columns,
                            bool whole = false) {
            for (const QString &database : {files::CatalogueTemplate, files::RestoreTemplate})
                QTest::addRow("%s %s", qPrintable(database), qPrintable(user))
                    << database << source << columns << whole;
        };
        for (const backup::Layout &layout : backup::layouts())
            row(layout.fileName, layout.table, layout.columns(), true);
        row(BookRegister::Name, BookRegister::RecordSource,
            names(registerform::fields(), &registerform::Field::column));
        for (const registerform::Lookup &lookup : registerform::lookups())
            row(lookup.combo, lookup.table, {lookup.listField, lookup.boundColumn});
        for (const MasterDescription &master : masterDescriptions())
            row(master.formName, master.sql, names(master.columns, &GridColumn::field));
        for (const QueryScreenDescription &search :
             searchDescriptions() + QList{unreadListDescription()})
            row(search.formName, search.storedQuery,
                names(search.columns, &GridColumn::field) +
                    names(search.inputs, &SearchInput::column));
        for (const GroupedListDescription &list : groupedListDescriptions()) {
            const ShapeCommand shape = ShapeCommand::parse(list.shapeCommand);
            row(list.formName, shape.parentSql,
                names(list.parentFields, &ParentField::field) << shape.parentKey);
            row(list.formName + u8(" chapter"), shape.childSql, {shape.childKey});
        }
    }

    void templatesServeTheScreens() {
        const QString source = text("source");
        test::DataFolder folder;
        const test::SqlFile file(folder.filePath(text("database")));
        QSqlQuery query(file.database());
        QVERIFY(query.exec(source.contains(u' ') ? source : u8("SELECT * FROM ") + source));
        const QStringList columns = cell<QStringList>("columns");
        for (const QString &column : columns)
            QVERIFY2(column.isEmpty() || query.record().contains(column), qPrintable(column));
        if (cell<bool>("whole")) {
            QCOMPARE(query.record().count(), columns.size());
            QCOMPARE(file.value(
                         u8("SELECT strict FROM pragma_table_list WHERE name = '%1'").arg(source)),
                     QVariant(1));
        }
        // Every list starts empty but the reading stamps the register offers.
        QCOMPARE(query.next(), source == "DSTMP");
    }

    void helpContextsAndLinksResolve();
};

// The help window opens the topic the context map names; a topic or a link between pages that
// leads nowhere would leave the user with an error page.
void ShippedData::helpContextsAndLinksResolve() {
    test::DataFolder folder;
    const QDir help(folder.filePath(files::HelpFolder));
    QStringList pages;
    for (const QByteArray &line : test::contents(help.filePath("context.map")).split('\n')) {
        const QStringList fields =
            QString::fromUtf8(line).simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        QCOMPARE(fields.size(), 2);
        pages << fields[1];
    }

    // A link names a page, a place in a page ("page.html#id"), or a place in its own page
    // ("#id").
    const QRegularExpression link(u8(R"((?:href|src)="([^"#:]*)(?:#([^"]*))?")"));
    const QStringList html = help.entryList({"*.html"}, QDir::Files);
    QVERIFY(html.contains("index.html"));
    QHash<QString, QString> texts;
    QList<std::pair<QString, QString>> places;
    for (const QString &page : html) {
        const QString text = QString::fromUtf8(test::contents(help.filePath(page)));
        QVERIFY2(text.contains("charset=\"utf-8\""), qPrintable(page));
        texts.insert(page, text);
        for (const QRegularExpressionMatch &m : link.globalMatch(text)) {
            const QString target = m.captured(1).isEmpty() ? page : m.captured(1);
            pages << target;
            if (!m.captured(2).isEmpty())
                places.append({target, m.captured(2)});
        }
    }
    for (const QString &page : pages)
        QVERIFY2(help.exists(page), qPrintable(page));
    for (const auto &[page, id] : places)
        QVERIFY2(texts.value(page).contains(u8("id=\"%1\"").arg(id)), qPrintable(page + '#' + id));
}

QTEST_GUILESS_MAIN(ShippedData)
#include "tst_shippeddata.moc"
