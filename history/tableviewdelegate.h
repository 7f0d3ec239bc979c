#pragma once

#include <QPoint>
#include <QStringList>
#include <QStyledItemDelegate>

class QPushButton;

// Paints the delete button into the operation column of the history table
// and hit-tests the mouse on it. The button is not a widget in the cell; a
// hidden push button only lends its style sheet to the drawing.
class TableViewDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit TableViewDelegate(QObject *parent = nullptr);
    ~TableViewDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // Where the button lies in a cell of the operation column.
    QRect ButtonRect(const QRect &cell) const;

signals:
    // The delete button of the row of index was released on.
    void deleteData(QModelIndex index);

private:
    QPoint mousePoint;
    QPushButton *deleteButton;
    QStringList buttonTexts;
    int buttonSpacing = 0;
    int buttonWidth = 25;
    int buttonHeight = 25;
    int buttonState = -1; // -1 none, 0 pointer over the button, 1 pressed
};
