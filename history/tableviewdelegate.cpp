#include "tableviewdelegate.h"

#include "database.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

TableViewDelegate::TableViewDelegate(QObject *parent)
    : QStyledItemDelegate(parent), deleteButton(new QPushButton), buttonTexts{tr("删除")}
{
    deleteButton->setStyleSheet(
        QStringLiteral("QPushButton {border: none; background-color: rgb(255, 255, 255);"
                       "image:url(:/Image/Image/delete.png);}"));
}

TableViewDelegate::~TableViewDelegate()
{
    delete deleteButton;
}

QRect TableViewDelegate::ButtonRect(const QRect &cell) const
{
    const int count = buttonTexts.size();
    const int half = (cell.width() - buttonWidth * count - buttonSpacing * (count - 1)) / 2;
    // One button width right of the centred position, as the operators know it.
    const int left = cell.left() + half + buttonWidth + buttonSpacing;
    const int top = cell.top() + (cell.height() - buttonHeight) / 2;
    return QRect(left, top, buttonWidth, buttonHeight);
}

void TableViewDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyleOptionViewItem cellOption(option);
    initStyleOption(&cellOption, index);
    cellOption.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, cellOption, index);

    if (index.column() != Database::OperationColumn)
        return;
    QStyleOptionButton button;
    button.rect = ButtonRect(option.rect);
    button.state = QStyle::State_Enabled;
    button.icon = QIcon(QStringLiteral(":/Image/Image/delete.png"));
    button.iconSize = QSize(buttonWidth, buttonHeight);
    if (button.rect.contains(mousePoint)) {
        if (buttonState == 0) {
            button.state |= QStyle::State_MouseOver;
        } else if (buttonState == 1) {
            button.state |= QStyle::State_Sunken;
            button.iconSize = QSize(buttonWidth - 2, buttonHeight - 2);
        }
    }
    QApplication::style()->drawControl(QStyle::CE_PushButton, &button, painter, deleteButton);
}

bool TableViewDelegate::editorEvent(QEvent *event, QAbstractItemModel *model,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    Q_UNUSED(model)
    if (index.column() != Database::OperationColumn)
        return false;
    buttonState = -1;
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    mousePoint = static_cast<QMouseEvent *>(event)->localPos().toPoint();
    if (!ButtonRect(option.rect).contains(mousePoint))
        return false;
    switch (type) {
    case QEvent::MouseMove:
        buttonState = 0;
        break;
    case QEvent::MouseButtonPress:
        buttonState = 1;
        break;
    case QEvent::MouseButtonRelease:
        emit deleteData(index);
        break;
    default:
        break;
    }
    return true;
}
