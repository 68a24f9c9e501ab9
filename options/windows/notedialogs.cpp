#include "options/windows/notedialogs.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/messages.h"
#include "core/windows/buttoncolouring.h"
#include "data/templates/comments.h"
#include "options/optionsmodel.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
constexpr int kCopyRole = Qt::UserRole;

QHBoxLayout* okCancel(QDialog* d, QPushButton*& ok, QPushButton*& cancel) {
  auto* h = new QHBoxLayout;
  ok = new QPushButton(Str(6004), d);
  ok->setObjectName("cmdOK");
  ok->setDefault(true);
  cancel = new QPushButton(Str(6005), d);
  cancel->setObjectName("cmdCancel");
  h->addStretch(1);
  h->addWidget(ok);
  h->addWidget(cancel);
  QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
  return h;
}
}  // namespace

frmPOTNTemplate::frmPOTNTemplate(QWidget* parent) : QDialog(parent) {
  setObjectName("frmPOTNTemplate");
  setWindowTitle(Str(6006));
  auto* v = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  txtName = new QLineEdit(this);
  txtName->setObjectName("txtName");
  txtName->setMinimumWidth(320);
  form->addRow(Str(6101), txtName);
  v->addLayout(form);
  v->addWidget(new QLabel(Str(6400), this));
  lstSource = new QListWidget(this);
  lstSource->setObjectName("lstSource");
  for (int i = 0; i < kDefaultCommentSets; ++i) lstSource->addItem(Str(2455 + i));
  v->addWidget(lstSource, 1);
  v->addLayout(okCancel(this, cmdOK, cmdCancel));
  connect(cmdOK, &QPushButton::clicked, this, [this] {
    if (fnDataOK()) accept();
  });
  // Until the operator types a name, the set is named after what it starts from.
  connect(txtName, &QLineEdit::textEdited, this, [this] { nameTyped_ = true; });
  connect(lstSource, &QListWidget::currentRowChanged, this, [this](int row) {
    if (nameTyped_ || row < 0) return;
    QListWidgetItem* item = lstSource->item(row);
    txtName->setText(item->data(kCopyRole).isValid() ? item->data(kCopyRole).toString() : item->text());
  });
  lstSource->setCurrentRow(1);  // the generic notes
  CmdButtonColouring::install(this);
}

void frmPOTNTemplate::setSelectedSet(const QString& name) {
  if (name.isEmpty()) return;
  auto* item = new QListWidgetItem(Str(6401).arg(name), lstSource);
  item->setData(kCopyRole, name);
}

int frmPOTNTemplate::source() const {
  const int row = lstSource->currentRow();
  return row >= kDefaultCommentSets ? -1 : std::max(row, 0);
}

bool frmPOTNTemplate::fnDataOK() {
  if (!name().isEmpty()) return true;
  showMessage(Str(6107), MsgIcon::Exclamation);
  txtName->setFocus();
  return false;
}

frmPOTNotes::frmPOTNotes(QWidget* parent) : QDialog(parent) {
  setObjectName("frmPOTNotes");
  setWindowTitle(Str(6007));
  auto* v = new QVBoxLayout(this);
  lblRow = new QLabel(this);
  lblRow->setObjectName("lblRow");
  QFont bold = lblRow->font();
  bold.setBold(true);
  lblRow->setFont(bold);
  v->addWidget(lblRow);
  auto* label = new QLabel(Str(6402), this);
  txtNote = new QPlainTextEdit(this);
  txtNote->setObjectName("txtNote");
  txtNote->setMinimumSize(460, 160);
  label->setBuddy(txtNote);
  v->addWidget(label);
  v->addWidget(txtNote, 1);
  auto* hint = new QLabel(Str(6403), this);
  hint->setEnabled(false);
  v->addWidget(hint);
  v->addLayout(okCancel(this, cmdOK, cmdCancel));
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  CmdButtonColouring::install(this);
}

void frmPOTNotes::setNote(const options::ResultRow& row, const QString& text) {
  lblRow->setText(QStringList{row.report, row.age, row.test, row.result}.join(QStringLiteral(" - ")));
  txtNote->setPlainText(options::noteDefined(text) ? text : QString());
  txtNote->setFocus();
}

}  // namespace tarn
