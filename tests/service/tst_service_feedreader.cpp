#include "gtfs/feed.h"

#include <QtTest>

class TestServiceFeedReader : public QObject {
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_APPLESS_MAIN(TestServiceFeedReader)
#include "tst_service_feedreader.moc"
