#include "form6.h"

#include "fare.h"
#include "picturebox.h"
#include "twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

namespace {

// Where each header value sits over the picture's value cells (left, top in twips).
constexpr QPoint kLabelPlaces[kFareLabels] = {
    {2520, 200},  {6000, 195}, {8040, 200},  {2520, 480},   {6000, 480},  {9480, 480},
    {11040, 480}, {2520, 760}, {6000, 760},  {9480, 760},   {2520, 1050}, {6000, 1050},
    {9480, 1050}, {600, 1320}, {9480, 1320}, {11040, 1320},
};

} // namespace

Form6::Form6(const FareTable& table, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("票价查询"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    setFixedSize(px(11880), px(8040));

    auto* header = new PictureBox(QStringLiteral(":/fare_header.svg"), true, this);
    header->setObjectName(QStringLiteral("Image1"));
    placeTwips(header, 120, 120, 11700, 1440);

    for (int i = 0; i < kFareLabels; ++i) {
        Label1[i] = new QLabel(this);
        Label1[i]->setObjectName(QStringLiteral("Label1[%1]").arg(i));
        Label1[i]->setAttribute(Qt::WA_TranslucentBackground);
        Label1[i]->move(px(kLabelPlaces[i].x()), px(kLabelPlaces[i].y()));
    }

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setAlternatingRowColors(true);
    ListView1->setHeaderLabels(fareColumnHeaders());
    ListView1->header()->setDefaultSectionSize(px(780));
    placeTwips(ListView1, 120, 1680, 11655, 6255);

    Form_Load(table);
}

void Form6::Form_Load(const FareTable& table) {
    for (int i = 0; i < kFareLabels; ++i) {
        Label1[i]->setText(table.labels.value(i));
        Label1[i]->adjustSize();
    }
    ListView1->clear();
    QList<QTreeWidgetItem*> items;
    for (const QStringList& row : table.rows)
        items << new QTreeWidgetItem(row);
    ListView1->addTopLevelItems(items);
    // Each column as wide as its widest cell or its header, whichever is wider.
    for (int c = 0; c < ListView1->columnCount(); ++c)
        ListView1->resizeColumnToContents(c);
}
