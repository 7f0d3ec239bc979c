#include "modbus.h"
#include <QtTest>
class tst_Modbus : public QObject { Q_OBJECT
private slots:
    void crc() { QCOMPARE(Modbus::MBCRC16(QByteArray("123456789")), u16(0x4B37)); }
};
QTEST_APPLESS_MAIN(tst_Modbus)
#include "tst_modbus.moc"
