#include "importing/ImportWindow.h"

#include "base/Failure.h"
#include "core/Configuration.h"
#include "db/Connection.h"
#include "widgets/EscapeCloses.h"
#include "widgets/LongOperation.h"
#include "widgets/MessageService.h"
#include "widgets/OffThreadWork.h"
#include "widgets/WindowNames.h"
#include "widgets/WindowPlacement.h"
#include "widgets/WindowRegistry.h"
#include "widgets/WishStrikeOffer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace hondana {

namespace {

using namespace intake;

const QString NotImportedCaption = QStringLiteral("（取り込まない）");

template <typename Control>
Control *withName(Control *control, const char *name, const QString &spoken) {
    control->setObjectName(QString::fromUtf8(name));
    control->setAccessibleName(spoken);
    return control;
}

enum MappingTableColumn { MapFileColumn, MapSample, MapTarget };

} // namespace

ImportWindow::ImportWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName(windows::Import);
    setWindowTitle(QStringLiteral("ほかの目録から取り込む"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_path = withName(new QLineEdit, "txtFile", QStringLiteral("ファイル"));
    auto *browse = withName(new QPushButton(QStringLiteral("参照(&B)...")), "cmdBrowse",
                            QStringLiteral("参照"));
    m_format = withName(new QComboBox, "cboFormat", QStringLiteral("形式"));
    m_format->addItem(QStringLiteral("ファイルから見分ける"));
    for (const FormatDescription &format : importFormats())
        m_format->addItem(format.label, int(format.format));
    m_encoding = withName(new QComboBox, "cboEncoding", QStringLiteral("文字コード"));
    m_encoding->addItem(QStringLiteral("ファイルから見分ける"), int(TextEncoding::Detect));
    m_encoding->addItem(QStringLiteral("UTF-8"), int(TextEncoding::Utf8));
    m_encoding->addItem(QStringLiteral("CP932（シフトJIS）"), int(TextEncoding::Cp932));
    auto *read = withName(new QPushButton(QStringLiteral("読み込む(&R)")), "cmdRead",
                          QStringLiteral("読み込む"));
    m_mapping = withName(new QTableWidget(0, 3), "grdMapping", QStringLiteral("列の取り込み先"));
    m_mapping->setHorizontalHeaderLabels({QStringLiteral("ファイルの列"),
                                          QStringLiteral("1 行目の値"),
                                          QStringLiteral("取り込み先")});
    m_mapping->horizontalHeader()->setStretchLastSection(true);
    m_mapping->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_addLookAlikes =
        withName(new QCheckBox(QStringLiteral("目録にある本と似ている本も追加する(&D)")),
                 "chkDuplicates", QStringLiteral("目録にある本と似ている本も追加する"));
    m_report = withName(new QPlainTextEdit, "txtReport", QStringLiteral("取り込みの見通し"));
    m_report->setReadOnly(true);
    m_import = withName(new QPushButton(QStringLiteral("取り込む(&I)")), "cmdImport",
                        QStringLiteral("取り込む"));
    m_import->setEnabled(false);
    auto *close = withName(new QPushButton(QStringLiteral("閉じる(&C)")), "cmdClose",
                           QStringLiteral("閉じる"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(browse);
    auto *form = new QFormLayout;
    const auto labelled = [&](const QString &text, QWidget *control) {
        auto *label = new QLabel(text);
        label->setBuddy(control);
        form->addRow(label, control);
    };
    auto *fileLabel = new QLabel(QStringLiteral("ファイル(&F)"));
    fileLabel->setBuddy(m_path);
    form->addRow(fileLabel, fileRow);
    labelled(QStringLiteral("形式(&O)"), m_format);
    labelled(QStringLiteral("文字コード(&E)"), m_encoding);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_addLookAlikes, 1);
    buttons->addWidget(m_import);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(read, 0, Qt::AlignRight);
    layout->addWidget(new QLabel(QStringLiteral("列の取り込み先:")));
    layout->addWidget(m_mapping, 1);
    layout->addWidget(new QLabel(QStringLiteral("取り込みの見通し:")));
    layout->addWidget(m_report, 1);
    layout->addLayout(buttons);
    resize(640, 600);

    connect(browse, &QPushButton::clicked, this, &ImportWindow::browse);
    connect(read, &QPushButton::clicked, this, &ImportWindow::readFile);
    connect(m_path, &QLineEdit::returnPressed, this, &ImportWindow::readFile);
    connect(m_addLookAlikes, &QCheckBox::toggled, this, &ImportWindow::showReport);
    connect(m_import, &QPushButton::clicked, this, &ImportWindow::importBooks);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    EscapeCloses::install(this, close);
}

ImportWindow::~ImportWindow() = default;

void ImportWindow::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    placement::overRegister(this);
}

void ImportWindow::browse() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("取り込むファイル"), m_path->text(),
        QStringLiteral("目録のファイル (*.csv *.tsv *.txt *.tc);;すべてのファイル (*)"));
    if (path.isEmpty())
        return;
    m_path->setText(path);
    readFile();
}

ImportFile ImportWindow::readChosenFile() const {
    std::optional<ImportFormat> format;
    if (m_format->currentIndex() > 0)
        format = ImportFormat(m_format->currentData().toInt());
    return ImportFile::read(m_path->text(), format,
                            TextEncoding(m_encoding->currentData().toInt()));
}

void ImportWindow::readFile() {
    m_file.reset();
    m_import->setEnabled(false);
    try {
        LongOperation reading(this, QStringLiteral("読み込み中"));
        m_file = readChosenFile();
    } catch (const Failure &failure) {
        m_mapping->setRowCount(0);
        m_report->setPlainText(failure.message());
        MessageService::instance().notice(failure.message());
        return;
    }
    showMapping();
    showReport();
}

void ImportWindow::showMapping() {
    const ColumnMapping &mapping = m_file->mapping;
    m_mapping->setRowCount(int(mapping.sourceColumns.size()));
    const SourceRecord *first =
        m_file->table.records.isEmpty() ? nullptr : &m_file->table.records.first();
    for (int row = 0; row < m_mapping->rowCount(); ++row) {
        m_mapping->setItem(row, MapFileColumn, new QTableWidgetItem(mapping.sourceColumns[row]));
        m_mapping->setItem(row, MapSample,
                           new QTableWidgetItem(first ? first->field(row).toString() : QString()));
        auto *target = new QComboBox;
        target->setAccessibleName(
            QStringLiteral("「%1」の取り込み先").arg(mapping.sourceColumns[row]));
        target->addItem(NotImportedCaption, -1);
        for (int i = 0; i < int(bookColumns().size()); ++i)
            target->addItem(bookColumns()[i].name, i);
        target->setCurrentIndex(mapping.rules[row].target + 1);
        connect(target, &QComboBox::currentIndexChanged, this,
                [this, row](int index) { targetChosen(row, index - 1); });
        m_mapping->setCellWidget(row, MapTarget, target);
    }
    m_mapping->resizeColumnsToContents();
}

void ImportWindow::targetChosen(int column, int target) {
    ColumnRule &rule = m_file->mapping.rules[column];
    rule.target = target;
    // A column the format describes keeps its own reading of values for its own target.
    rule.conversion = target >= 0 ? bookColumns()[target].conversion : Conversion::Text;
    for (const FormatDescription::Column &described : m_file->format->columns) {
        if (described.name == m_file->mapping.sourceColumns[column] &&
            findBookColumn(described.target) == target)
            rule.conversion = described.conversion;
    }
    showReport();
}

Duplicates ImportWindow::duplicates() const {
    return m_addLookAlikes->isChecked() ? Duplicates::Add : Duplicates::Skip;
}

void ImportWindow::showReport() {
    if (!m_file)
        return;
    try {
        LongOperation planning(this, QStringLiteral("確かめています"));
        Connection connection(readConfigurationLine());
        connection.open();
        const ImportPreview preview(connection, *m_file);
        m_report->setPlainText(preview.text(duplicates()));
        m_toAdd = preview.plan().addedCount(duplicates());
        m_import->setEnabled(m_toAdd > 0);
    } catch (const Failure &failure) {
        m_report->setPlainText(failure.message());
        m_toAdd = 0;
        m_import->setEnabled(false);
    }
}

void ImportWindow::importBooks() {
    // Books once added are not taken out again but one by one, so the count is confirmed first.
    if (!m_file || !MessageService::instance().confirm(
                       QStringLiteral("%1 冊を取り込みます。よろしいですか？").arg(m_toAdd)))
        return;
    const ImportFile file = *m_file;
    const Duplicates chosen = duplicates();
    QList<qint64> added;
    try {
        LongOperation importing(this, QStringLiteral("取り込み中"));
        runOffThread(importing, [&](const Progress &progress) {
            Connection connection(readConfigurationLine());
            connection.open();
            const ImportPreview preview(connection, file);
            added = intake::importBooks(connection, preview, chosen, progress);
        });
    } catch (const Failure &failure) {
        MessageService::instance().notice(
            QStringLiteral("取り込めませんでした。何も追加していません。\n") + failure.message());
        return;
    }
    MessageService::instance().notice(
        QStringLiteral("%1 冊を追加しました。登録画面を次に開くと表示されます。")
            .arg(added.size()));
    try {
        Connection connection(readConfigurationLine());
        offerToStrikeFulfilledWishes(connection, added);
    } catch (const Failure &) {
        // No configuration line any more: the import said what it did, the wishes stay.
    }
    showReport();
}

void registerImportWindow() {
    WindowRegistry::instance().registerFactory(windows::Import, [] { return new ImportWindow; });
}

} // namespace hondana
