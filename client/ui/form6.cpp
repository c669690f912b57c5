#include "form6.h"

#include "controls.h"
#include "fare.h"
#include "twips.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

namespace {

// Front to back: the sixteen header values lie over the picture's value cells, each as wide
// as its text.
constexpr UiLine kControls[] = {
    {"ListView1", Ui::RowList, 120, 1680, 11655, 6255},
    {"Label1[15]", Ui::Label, 11040, 1320, 0, 0},
    {"Label1[14]", Ui::Label, 9480, 1320, 0, 0},
    {"Label1[13]", Ui::Label, 600, 1320, 0, 0},
    {"Label1[12]", Ui::Label, 9480, 1050, 0, 0},
    {"Label1[11]", Ui::Label, 6000, 1050, 0, 0},
    {"Label1[10]", Ui::Label, 2520, 1050, 0, 0},
    {"Label1[9]", Ui::Label, 9480, 760, 0, 0},
    {"Label1[8]", Ui::Label, 6000, 760, 0, 0},
    {"Label1[7]", Ui::Label, 2520, 760, 0, 0},
    {"Label1[6]", Ui::Label, 11040, 480, 0, 0},
    {"Label1[5]", Ui::Label, 9480, 480, 0, 0},
    {"Label1[4]", Ui::Label, 6000, 480, 0, 0},
    {"Label1[3]", Ui::Label, 2520, 480, 0, 0},
    {"Label1[2]", Ui::Label, 8040, 200, 0, 0},
    {"Label1[1]", Ui::Label, 6000, 195, 0, 0},
    {"Label1[0]", Ui::Label, 2520, 200, 0, 0},
    {"Image1", Ui::Stretched, 120, 120, 11700, 1440, ":/fare_header.svg"},
};

} // namespace

Form6::Form6(const FareTable& table, QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("票价查询"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.svg")));
    setFixedSize(px(11880), px(8040));

    const WindowControls controls = buildWindow(this, kControls);
    for (int i = 0; i < kFareLabels; ++i)
        Label1[i] = controls.as<QLabel>(QStringLiteral("Label1[%1]").arg(i));
    ListView1 = controls.as<QTreeWidget>("ListView1");
    ListView1->setRootIsDecorated(false);
    ListView1->setAlternatingRowColors(true);
    ListView1->setHeaderLabels(fareColumnHeaders());
    ListView1->header()->setDefaultSectionSize(px(780));

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
