#pragma once

#include "widgets/DataSource.h"

#include <QComboBox>
#include <QHash>
#include <QPointer>

class QStringListModel;

namespace hondana {

// A lookup drop-down: bound to a column of the main data source, its list filled from a second
// data source (the row source). It lists `listField` of every row of the row source in the
// order the set holds them, shows the entry whose `boundColumn` equals the stored value, and a
// pick writes that entry's `boundColumn` value into the bound column. Without a bound column the
// listed value itself is stored. Texts match with trailing blanks ignored ("未" followed by
// blanks shows as "未"). A stored value with no entry shows an empty box, unless the list holds
// the stored values themselves (no bound column): then the box shows the value as stored (a
// stamp "*" the stamp list lacks is still that book's stamp).
//
// A screen reader hears the box's label as its name and the shown entry as its value.
class DataCombo : public QComboBox {
    Q_OBJECT
public:
    explicit DataCombo(QWidget *parent = nullptr);
    ~DataCombo() override;

    void bind(DataSource *source, const QString &field);
    DataSource *dataSource() const { return m_source; }
    QString field() const { return m_field; }

    void setRowSource(DataSource *rowSource, const QString &listField,
                      const QString &boundColumn = {});
    DataSource *rowSource() const { return m_rowSource; }
    QString listField() const { return m_listField; }
    QString boundColumn() const { return m_boundColumn; }

    // What the box shows: the current entry, or the stored value the list lacks.
    QString shownText() const;

    // Fills the list again from the row source's rows (done by itself when the source is
    // re-read).
    void repopulate();

Q_SIGNALS:
    // Any mouse click on the combo, before it opens its list.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void showCurrent();
    void pick(int index);
    static QString matchKey(const QVariant &value);

    QPointer<DataSource> m_source;
    QPointer<DataSource> m_rowSource;
    QString m_field;
    QString m_listField;
    QString m_boundColumn;
    QStringListModel *m_items;
    QList<QVariant> m_values;
    QHash<QString, int> m_indexOfKey;
    QList<QMetaObject::Connection> m_fieldConnections;
    QList<QMetaObject::Connection> m_listConnections;
    bool m_showing = false;
};

} // namespace hondana
