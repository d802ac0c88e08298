#pragma once

#include "widgets/DataSource.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;

namespace hondana {

// The record navigator of a screen: first/previous/next/last buttons around a caption, over a
// data source it shows and moves. After every move of the source the caption reads "Record: "
// and the position; until the first move it is a single blank.
class DataNavigator : public QWidget {
    Q_OBJECT
public:
    static inline const QString CaptionPrefix = QStringLiteral("Record: ");

    explicit DataNavigator(DataSource *source, QWidget *parent = nullptr);
    ~DataNavigator() override;

    DataSource *dataSource() const { return m_source; }
    QString caption() const;
    void setCaption(const QString &caption);

private:
    void showPosition();

    QPointer<DataSource> m_source;
    QLabel *m_caption = nullptr;
};

} // namespace hondana
