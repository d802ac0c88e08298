#include "widgets/DataGrid.h"

#include "widgets/DataSource.h"
#include "widgets/Twips.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

namespace hondana {

namespace {

const QAbstractItemView::EditTriggers TypingStartsEditing = QAbstractItemView::AnyKeyPressed |
                                                            QAbstractItemView::DoubleClicked |
                                                            QAbstractItemView::EditKeyPressed;

} // namespace

DataGrid::DataGrid(QWidget *parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(TypingStartsEditing);
}

DataGrid::~DataGrid() = default;

void DataGrid::bind(DataSource *source, const QList<GridColumn> &columns) {
    if (accessibleName().isEmpty())
        setAccessibleName(source->objectName());
    RecordSet *set = &source->recordSet();
    delete m_model;
    m_model = new RecordSetModel(set, source, this);
    m_model->setColumns(columns);
    m_model->setReadOnly(m_readOnly);
    setModel(m_model);
    applyColumnLayout(columns);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &DataGrid::onCurrentRowChanged);
    // Once the refused editor has closed, it opens again with the text the user typed.
    connect(
        m_model, &RecordSetModel::refused, this,
        [this](const QModelIndex &cell, const QString &typed) {
            QMetaObject::invokeMethod(
                this,
                [this, cell = QPersistentModelIndex(cell), typed] { reopenWithText(cell, typed); },
                Qt::QueuedConnection);
        });
    connect(set, &RecordSet::moveComplete, this, &DataGrid::followRecordSet);
    connect(set, &RecordSet::rowsReset, this, &DataGrid::followRecordSet);
    followRecordSet();
}

RecordSet *DataGrid::recordSet() const {
    return m_model ? m_model->recordSet() : nullptr;
}

void DataGrid::applyColumnLayout(const QList<GridColumn> &columns) {
    for (int i = 0; i < columns.size(); ++i) {
        const GridColumn &column = columns.at(i);
        if (column.widthTwips > 0)
            setColumnWidth(i, twips::toPixels(column.widthTwips));
        setColumnHidden(i, column.hidden);
    }
}

void DataGrid::setReadOnly(bool readOnly) {
    if (m_model)
        m_model->setReadOnly(readOnly);
    m_readOnly = readOnly;
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers : TypingStartsEditing);
}

void DataGrid::keyPressEvent(QKeyEvent *event) {
    const int row = currentIndex().row();
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && !m_readOnly &&
        state() != EditingState && m_model && row >= 0 && row != m_model->newRowIndex()) {
        event->accept();
        Q_EMIT deleteRowRequested();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool DataGrid::goToNewRow() {
    if (!m_model || m_model->newRowIndex() < 0)
        return false;
    setFocus();
    setCurrentIndex(m_model->index(m_model->newRowIndex(), 0));
    return currentIndex().row() == m_model->newRowIndex();
}

void DataGrid::onCurrentRowChanged(const QModelIndex &current, const QModelIndex &) {
    if (m_following || !m_model || !current.isValid())
        return;
    RecordSet &set = *m_model->recordSet();
    bool moved = true;
    if (current.row() == m_model->newRowIndex()) {
        // The empty row is no record yet; leaving the edited row still writes it.
        moved = m_model->runReportingFailure([&set] { set.update(); });
    } else if (set.absolutePosition() != current.row() + 1) {
        const int position = current.row() + 1;
        moved = m_model->runReportingFailure([&set, position] { set.moveTo(position); });
    }
    if (!moved) {
        // The view is still busy with the click that moved it; step back once it is done.
        QMetaObject::invokeMethod(this, &DataGrid::followRecordSet, Qt::QueuedConnection);
    }
}

void DataGrid::reopenWithText(const QPersistentModelIndex &cell, const QString &typed) {
    if (!cell.isValid())
        return;
    setCurrentIndex(cell);
    edit(cell);
    if (auto *box = qobject_cast<QLineEdit *>(indexWidget(cell)))
        box->setText(typed);
}

void DataGrid::followRecordSet() {
    if (!m_model)
        return;
    const RecordSet &set = *m_model->recordSet();
    const int position = set.absolutePosition();
    if (position < 1)
        return;
    const int column = qMax(currentIndex().column(), 0);
    const QModelIndex target = m_model->index(position - 1, column);
    if (currentIndex().row() == target.row())
        return;
    m_following = true;
    setCurrentIndex(target);
    m_following = false;
}

} // namespace hondana
