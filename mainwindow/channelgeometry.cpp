// Channel geometry: the cross-section shape with its labels and drawing, and
// the block write of shape, distance and dimensions.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "registerconvert.h"

#include <iterator>

namespace {

// The block starts at the shape register and runs through the height: shape,
// D, R (or E), A, B, C.
constexpr u16 SinkShapeReg = 15;
constexpr u16 SinkShapeRegCount = 6;
// Newer firmware keeps D in millimetres as a 32-bit value, high word first.
constexpr u16 DevToButtomLenMmReg = 75;
constexpr u16 DevToButtomLenMmRegCount = 2;
constexpr u16 MillimetreDistanceVersion = 0x041A;

struct ShapeRow
{
    QRadioButton *Ui::MainWindow::*button;
    const char *radiusLabel;
    const char *buttomLabel;
    const char *topLabel;
    const char *heightLabel;
    const char *picture;
    bool isRadiusUsed;
    bool isTrapezoidUsed;
};

// Tested in this order; the first selected button decides.
const ShapeRow Shapes[] = {
    {&Ui::MainWindow::radioButtonCircle, QT_TRANSLATE_NOOP("MainWindow", "圆形水渠半径R(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形水渠底边长A(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形水渠顶边长B(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形水渠高度C(m)"), ":/Image/Image/circle-e.png", true,
     false},
    {&Ui::MainWindow::radioButtonRectangle, QT_TRANSLATE_NOOP("MainWindow", "圆形水渠半径R(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形水渠底边长A(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形水渠顶边长B(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形水渠高度C(m)"), ":/Image/Image/rectangle-e.png", false,
     true},
    {&Ui::MainWindow::radioButtonU, QT_TRANSLATE_NOOP("MainWindow", "扇形高度E(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形部分底边长A(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "梯形部分顶边长B(m)"),
     QT_TRANSLATE_NOOP("MainWindow", "水渠高度C(m)"), ":/Image/Image/u-e.png", true, true},
};

// A dimension's register value. A field the shape does not use may be left
// empty and then stores 0; anything else must be a length the register can
// hold as typed.
bool Dimension(const QLineEdit *field, u16 *value)
{
    const QString text = field->text().trimmed();
    if (text.isEmpty() && !field->isEnabled()) {
        *value = 0;
        return true;
    }
    // Only a text the field's validator accepts whole is written as shown.
    if (field->isEnabled() && field->validator() && !field->hasAcceptableInput())
        return false;
    return RegisterConvert::FixedPointChecked(text, 100, value);
}

} // namespace

void MainWindow::SinkShapeSelect()
{
    for (const ShapeRow &shape : Shapes) {
        if (!(ui->*shape.button)->isChecked())
            continue;
        ui->label_radius->setText(tr(shape.radiusLabel));
        ui->label_buttom->setText(tr(shape.buttomLabel));
        ui->label_top->setText(tr(shape.topLabel));
        ui->label_height->setText(tr(shape.heightLabel));
        ui->pushButtonSinkShape->setIcon(QIcon(QString::fromLatin1(shape.picture)));
        ui->lineEditRadius->setEnabled(shape.isRadiusUsed);
        for (QLineEdit *field : {ui->lineEditButtomLen, ui->lineEditTopLen, ui->lineEditHeight})
            field->setEnabled(shape.isTrapezoidUsed);
        return;
    }
}

void MainWindow::on_pushButtonWriteParameter_clicked()
{
    u16 usShape = 2;
    if (ui->radioButtonCircle->isChecked())
        usShape = 1;
    else if (ui->radioButtonRectangle->isChecked())
        usShape = 2;
    else if (ui->radioButtonU->isChecked())
        usShape = 3;

    // D, R, A, B, C in register order.
    const QLineEdit *fields[] = {ui->lineEditDevToButtomLen, ui->lineEditRadius,
                                 ui->lineEditButtomLen, ui->lineEditTopLen, ui->lineEditHeight};
    u16 values[std::size(fields)] = {};
    for (size_t i = 0; i < std::size(fields); ++i) {
        if (!Dimension(fields[i], &values[i])) {
            ShowWarning(tr("输入参数有误，请输入正确参数！"));
            return;
        }
    }
    quint32 distanceMm = 0;
    const bool isMillimetres = usDevVersion >= MillimetreDistanceVersion;
    if (isMillimetres && !RegisterConvert::FixedPoint32Checked(
                             ui->lineEditDevToButtomLen->text().trimmed(), 1000, &distanceMm)) {
        ShowWarning(tr("输入参数有误，请输入正确参数！"));
        return;
    }

    const u16 usButtom = values[2];
    const u16 usTop = values[3];
    if (usButtom > usTop) {
        ShowWarning(tr("参数输入有误，顶边长不能小于底边长"));
        return;
    }
    if (!CheckPortOrWarn())
        return;

    QByteArray block = RegisterConvert::U16ToBytes(usShape);
    for (u16 value : values)
        block += RegisterConvert::U16ToBytes(value);
    // The distance in millimetres follows only once the instrument has taken
    // the first block: a refused first block must not leave half a change.
    pendingDistanceBlock = isMillimetres ? RegisterConvert::U32ToBytes(distanceMm) : QByteArray();
    emit WriteMultHoldingRegisters(SinkShapeReg, block, SinkShapeRegCount);
}

void MainWindow::GeometryWriteAnswered(bool isSucceed, u16 usAddr)
{
    if (usAddr != SinkShapeReg)
        return;
    const QByteArray distance = pendingDistanceBlock;
    pendingDistanceBlock.clear();
    if (isSucceed && !distance.isEmpty() && IsPortReady())
        emit WriteMultHoldingRegisters(DevToButtomLenMmReg, distance, DevToButtomLenMmRegCount);
}
