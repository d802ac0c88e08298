#include "wishes/WishEditDialog.h"

#include "db/OwnTables.h"
#include "widgets/MessageService.h"
#include "wishes/WishListModel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace hondana {

WishEditDialog::WishEditDialog(const Wish &wish, const QString &caption, QWidget *parent)
    : QDialog(parent), m_wish(wish) {
    setObjectName(Name);
    setWindowTitle(caption);
    auto *form = new QFormLayout(this);
    const auto addRow = [&](const char *caption, QWidget *field) {
        auto *label = new QLabel(QString::fromUtf8(caption), this);
        label->setBuddy(field);
        field->setAccessibleName(label->text().section(u'(', 0, 0));
        form->addRow(label, field);
    };
    m_title = addLine("txtTitle", wish.title);
    addRow("題名(&T):", m_title);
    m_author = addLine("txtAuthor", wish.author);
    addRow("著者(&A):", m_author);
    m_isbn = addLine("txtIsbn", wish.isbn.hyphenated());
    m_isbn->setInputMethodHints(Qt::ImhDigitsOnly);
    addRow("ISBN(&I):", m_isbn);
    m_note = addLine("txtNote", wish.note);
    addRow("メモ(&N):", m_note);
    m_priority = new QComboBox(this);
    m_priority->setObjectName(QStringLiteral("cboPriority"));
    for (int priority = owntables::WishHighest; priority <= owntables::WishLowest; ++priority)
        m_priority->addItem(WishListModel::priorityName(priority), priority);
    m_priority->setCurrentIndex(m_priority->findData(wish.priority));
    addRow("優先度(&P):", m_priority);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdOk"));
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdCancel"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &WishEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &WishEditDialog::reject);
    form->addRow(buttons);
    resize(480, sizeHint().height());
}

QLineEdit *WishEditDialog::addLine(const char *name, const QString &text) {
    auto *line = new QLineEdit(text, this);
    line->setObjectName(QString::fromUtf8(name));
    return line;
}

void WishEditDialog::accept() {
    MessageService &messages = MessageService::instance();
    const QString isbnText = m_isbn->text().trimmed();
    const Isbn isbn = Isbn::tryFromText(isbnText);
    if (m_title->text().trimmed().isEmpty()) {
        messages.notice(QStringLiteral("題名を入力してください。"), windowTitle(),
                        MessageService::Icon::Warning);
        m_title->setFocus();
        return;
    }
    if (!isbnText.isEmpty() && isbn.isEmpty()) {
        messages.notice(
            QStringLiteral("「%1」は ISBN ではありません（桁数か検査数字が合いません）。"
                           "直すか、空にしてください。")
                .arg(isbnText),
            windowTitle(), MessageService::Icon::Warning);
        m_isbn->setFocus();
        return;
    }
    m_wish.title = m_title->text().trimmed();
    m_wish.author = m_author->text().trimmed();
    m_wish.isbn = isbn;
    m_wish.note = m_note->text().trimmed();
    m_wish.priority = m_priority->currentData().toInt();
    QDialog::accept();
}

} // namespace hondana
