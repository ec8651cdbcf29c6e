#include "dialogs/suggest_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "repair/explain.h"

namespace mok {
namespace {

QString Q(TextView text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// The long explanation comes last, so the short columns stay in view.
enum Column { kPreview, kLanguage, kConfidence, kMenu, kExplanation, kColumnCount };
constexpr int kPreviewWidth = 320;

}  // namespace

SuggestDialog::SuggestDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmSuggest"));
  setWindowTitle(QStringLiteral("自动解读"));
  setModal(true);

  lstSuggest_ = new QTreeWidget(this);
  lstSuggest_->setObjectName(QStringLiteral("lstSuggest"));
  lstSuggest_->setColumnCount(kColumnCount);
  lstSuggest_->setHeaderLabels({QStringLiteral("预览"), QStringLiteral("语言"), QStringLiteral("可信度"),
                                QStringLiteral("菜单"), QStringLiteral("说明")});
  lstSuggest_->setRootIsDecorated(false);
  lstSuggest_->setUniformRowHeights(true);
  lstSuggest_->setSelectionMode(QAbstractItemView::SingleSelection);
  lstSuggest_->header()->setStretchLastSection(false);
  // A click or the arrow keys choose the row that becomes current.
  connect(lstSuggest_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { chosen_ = item ? lstSuggest_->indexOfTopLevelItem(item) : -1; });
  connect(lstSuggest_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    ChooseRow(lstSuggest_->indexOfTopLevelItem(item));
    Ok();
  });

  cmdOk_ = new QPushButton(QStringLiteral("确定"), this);
  cmdOk_->setObjectName(QStringLiteral("cmdA_0"));
  cmdOk_->setDefault(true);
  cmdCancel_ = new QPushButton(QStringLiteral("取消"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdA_1"));
  connect(cmdOk_, &QPushButton::clicked, this, &SuggestDialog::Ok);
  connect(cmdCancel_, &QPushButton::clicked, this, &SuggestDialog::Cancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdOk_);
  buttons->addWidget(cmdCancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lstSuggest_);
  layout->addLayout(buttons);
  resize(1000, 260);
}

void SuggestDialog::SetSuggestions(std::vector<RepairSuggestion> suggestions) {
  suggestions_ = std::move(suggestions);
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
    item->setText(kExplanation, Q(words.explanation));
    item->setText(kMenu, words.menu.empty() ? QString() : QStringLiteral("菜单：") + Q(words.menu));
    item->setText(kLanguage, Q(words.language));
    item->setText(kConfidence, Q(words.confidence));
  }
  for (int c = 0; c < kColumnCount; ++c) lstSuggest_->resizeColumnToContents(c);
  lstSuggest_->setColumnWidth(kPreview, std::min(lstSuggest_->columnWidth(kPreview), kPreviewWidth));
  ChooseRow(suggestions_.empty() ? -1 : 0);
  lstSuggest_->setFocus();
}

void SuggestDialog::ChooseRow(int row) {
  chosen_ = row >= 0 && row < lstSuggest_->topLevelItemCount() ? row : -1;
  lstSuggest_->setCurrentItem(chosen_ >= 0 ? lstSuggest_->topLevelItem(chosen_) : nullptr);
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
