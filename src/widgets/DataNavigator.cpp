#include "widgets/DataNavigator.h"

#include "widgets/DataSource.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace hondana {

namespace {

QToolButton *navigatorButton(QWidget *parent, const char *objectName, const QString &text,
                             const QString &accessibleName) {
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(text);
    button->setToolTip(accessibleName);
    button->setAccessibleName(accessibleName);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

DataNavigator::DataNavigator(DataSource *source, QWidget *parent)
    : QWidget(parent), m_source(source) {
    // The navigator is what the user sees of the form's data control, so it goes by its name.
    setObjectName(source->objectName());
    auto *first = navigatorButton(this, "cmdMoveFirst", QStringLiteral("|◀"),
                                  QStringLiteral("最初のレコード"));
    auto *previous = navigatorButton(this, "cmdMovePrevious", QStringLiteral("◀"),
                                     QStringLiteral("前のレコード"));
    auto *next =
        navigatorButton(this, "cmdMoveNext", QStringLiteral("▶"), QStringLiteral("次のレコード"));
    auto *last = navigatorButton(this, "cmdMoveLast", QStringLiteral("▶|"),
                                 QStringLiteral("最後のレコード"));
    m_caption = new QLabel(QStringLiteral(" "), this);
    m_caption->setObjectName(QStringLiteral("lblCaption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFrameShape(QFrame::Panel);
    m_caption->setFrameShadow(QFrame::Sunken);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(first);
    layout->addWidget(previous);
    layout->addWidget(m_caption, 1);
    layout->addWidget(next);
    layout->addWidget(last);
    setAccessibleName(QStringLiteral("レコード移動"));

    connect(first, &QToolButton::clicked, source, &DataSource::moveFirst);
    connect(previous, &QToolButton::clicked, source, &DataSource::movePrevious);
    connect(next, &QToolButton::clicked, source, &DataSource::moveNext);
    connect(last, &QToolButton::clicked, source, &DataSource::moveLast);

    RecordSet *set = &source->recordSet();
    connect(source, &DataSource::moveComplete, this, &DataNavigator::showPosition);
    // A deleted row leaves no current row until the next move; the caption must not name it.
    connect(set, &RecordSet::rowRemoved, this, &DataNavigator::showPosition);
}

DataNavigator::~DataNavigator() = default;

QString DataNavigator::caption() const {
    return m_caption->text();
}

void DataNavigator::setCaption(const QString &caption) {
    m_caption->setText(caption);
}

void DataNavigator::showPosition() {
    if (m_source)
        setCaption(CaptionPrefix + QString::number(m_source->recordSet().absolutePosition()));
}

} // namespace hondana
