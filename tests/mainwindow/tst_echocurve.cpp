#include "echocurve.h"

#include <QtTest>

using Points = QVector<QPointF>;
Q_DECLARE_METATYPE(Points)

class tst_EchoCurve : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
};

void tst_EchoCurve::parse_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("crlfCount");
    QTest::addColumn<Points>("points");
    QTest::addColumn<int>("velocityMax");
    QTest::addColumn<int>("levelMax");

    QTest::newRow("12, 34: a last point on the right edge")
        << QByteArray("12\r\n34\r\n") << 2 << Points{{0, 12}, {1, 34}, {2, 0}} << 38 << 37;
    QTest::newRow("all zeros") << QByteArray("0\r\n0\r\n") << 2 << Points{{0, 0}, {1, 0}, {2, 0}}
                               << 1 << 0;
    QTest::newRow("no final CR LF")
        << QByteArray("5\r\n100") << 1 << Points{{0, 5}, {1, 100}} << 111 << 110;
    QTest::newRow("text that is no number plots as 0")
        << QByteArray("7\r\nx9\r\n") << 2 << Points{{0, 7}, {1, 0}, {2, 0}} << 8 << 7;
    QTest::newRow("a NUL ends the text") << QByteArray("3\r\n\0"
                                                       "99\r\n",
                                                       8)
                                         << 1 << Points{{0, 3}, {1, 0}} << 4 << 3;
    QTest::newRow("empty") << QByteArray() << 0 << Points{{0, 0}} << 1 << 0;
    QTest::newRow("largest int peak: the axis stops there")
        << QByteArray("2147483647") << 0 << Points{{0, 2147483647}} << 2147483647 << 2147483647;
}

void tst_EchoCurve::parse()
{
    QFETCH(QByteArray, text);
    QFETCH(int, crlfCount);
    QFETCH(Points, points);
    QFETCH(int, velocityMax);
    QFETCH(int, levelMax);

    const EchoCurve spectrum = EchoCurve::Parse(text);
    QCOMPARE(spectrum.crlfCount, crlfCount);
    QCOMPARE(spectrum.points, points);
    QCOMPARE(spectrum.VelocityAxisMax(), velocityMax);
    QCOMPARE(spectrum.LevelAxisMax(), levelMax);
}

QTEST_APPLESS_MAIN(tst_EchoCurve)
#include "tst_echocurve.moc"
