#include "dialogs/suggest_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "repair/explain.h"
#include "widgets/twips.h"

namespace mok {
namespace {

QString Q(TextView text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// The explanation is below the list, wrapped, so the list needs no room for it.
enum Column { kPreview, kLanguage, kConfidence, kMenu, kColumnCount };

// As wide as the main window at its default size.
constexpr int kWidth = TwipsToPixels(11430);
constexpr int kHeight = TwipsToPixels(4500);

}  // namespace

SuggestDialog::SuggestDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSuggest"));
  setWindowTitle(QStringLiteral("自动解读"));
  setModal(true);

  lstSuggest_ = new QTreeWidget(this);
  lstSuggest_->setObjectName(QStringLiteral("lstSuggest"));
  lstSuggest_->setColumnCount(kColumnCount);
  lstSuggest_->setHeaderLabels(
      {QStringLiteral("预览"), QStringLiteral("语言"), QStringLiteral("可信度"), QStringLiteral("菜单")});
  lstSuggest_->setRootIsDecorated(false);
  lstSuggest_->setUniformRowHeights(true);
  lstSuggest_->setSelectionMode(QAbstractItemView::SingleSelection);
  lstSuggest_->setTextElideMode(Qt::ElideRight);
  lstSuggest_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // The preview takes the room the short columns leave.
  lstSuggest_->header()->setStretchLastSection(false);
  lstSuggest_->header()->setSectionResizeMode(kPreview, QHeaderView::Stretch);
  for (const int column : {kLanguage, kConfidence, kMenu}) {
    lstSuggest_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
  // A click or the arrow keys choose the row that becomes current.
  connect(lstSuggest_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    chosen_ = item ? lstSuggest_->indexOfTopLevelItem(item) : -1;
    Explain();
  });
  connect(lstSuggest_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    ChooseRow(lstSuggest_->indexOfTopLevelItem(item));
    Ok();
  });

  lblExplain_ = new QLabel(this);
  lblExplain_->setObjectName(QStringLiteral("lblExplain"));
  lblExplain_->setWordWrap(true);
  lblExplain_->setTextFormat(Qt::PlainText);
  lblExplain_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  cmdOk_ = new QPushButton(QStringLiteral("确定 &Y"), this);
  cmdOk_->setObjectName(QStringLiteral("cmdA_0"));
  cmdOk_->setDefault(true);
  cmdCancel_ = new QPushButton(QStringLiteral("取消 &N"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdA_1"));
  connect(cmdOk_, &QPushButton::clicked, this, &SuggestDialog::Ok);
  connect(cmdCancel_, &QPushButton::clicked, this, &SuggestDialog::Cancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOk_);
  buttons->addWidget(cmdCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lstSuggest_, 1);
  layout->addWidget(lblExplain_);
  layout->addLayout(buttons);
  resize(kWidth, kHeight);
}

void SuggestDialog::SetSuggestions(std::vector<RepairSuggestion> suggestions, Text input) {
  suggestions_ = std::move(suggestions);
  input_ = std::move(input);
}

void SuggestDialog::RunModal() {
  Showing();
  exec();
}

void SuggestDialog::Showing() {
  ok_ = false;
  lstSuggest_->clear();
  for (const RepairSuggestion& s : suggestions_) {
    auto* item = new QTreeWidgetItem(lstSuggest_);
    item->setText(kPreview, Q(PreviewLine(s.text)));
    item->setToolTip(kPreview, Q(PreviewLine(s.text, 400)));
    const SuggestionWords words = DescribeSuggestion(s);
    item->setText(kMenu, words.menu.empty() ? QString() : QStringLiteral("菜单：") + Q(words.menu));
    item->setText(kLanguage, Q(words.language));
    item->setText(kConfidence, Q(words.confidence));
  }
  ChooseRow(suggestions_.empty() ? -1 : 0);
  Explain();
  lstSuggest_->setFocus();
}

void SuggestDialog::Explain() {
  if (chosen_ < 0 || chosen_ >= static_cast<int>(suggestions_.size())) {
    lblExplain_->clear();
    return;
  }
  const RepairSuggestion& s = suggestions_[static_cast<std::size_t>(chosen_)];
  QString text = Q(s.explanation);
  if (const Text places = PassagePlaces(s, input_); !places.empty()) text += QLatin1Char('\n') + Q(places);
  lblExplain_->setText(text);
}

void SuggestDialog::ChooseRow(int row) {
  chosen_ = row >= 0 && row < lstSuggest_->topLevelItemCount() ? row : -1;
  lstSuggest_->setCurrentItem(chosen_ >= 0 ? lstSuggest_->topLevelItem(chosen_) : nullptr);
  Explain();
}

void SuggestDialog::Ok() {
  if (chosen_ < 0) return;
  ok_ = true;
  done(QDialog::Accepted);
}

void SuggestDialog::Cancel() {
  ok_ = false;
  done(QDialog::Rejected);
}

}  // namespace mok
