// The settings window's community rules: the rule file the user chose or fetched, and the
// branch "Applications" of the privacy tree that offers its entries, by category.

#include "appengine/CLEngine.h"
#include "base/CLSettings.h"
#include "components/CLFileDialog.h"
#include "engine/FigEngine.h"
#include "engine/FigWinapp2Topic.h"
#include "windows/CLWindowLanguage.h"
#include "windows/uSettings.h"

#include <map>
#include <set>

namespace {

// The category an entry is offered under: its Section text, or the name of its numbered
// section (the number where the format names none).
std::wstring CategoryOf(const TFigTopic& aTopic) {
  if (std::wstring section = aTopic.GetValue(kTopicKeyWinapp2Section); !section.empty())
    return section;
  const int number = aTopic.GetInteger(kTopicKeyWinapp2LangSecRef, 0);
  const std::wstring name = Winapp2CategoryTextName(number);
  const std::wstring text = name.empty() ? std::wstring() : AppText(name);
  return text.empty() ? std::to_wstring(number) : text;
}

// The entry nodes at and below aNode.
void EntriesBelow(TTreeNode& aNode, std::vector<TTreeNode*>& aEntries) {
  if (aNode.Data() != nullptr)
    aEntries.push_back(&aNode);
  for (int i = 0; i < aNode.Count(); ++i)
    EntriesBelow(aNode.Item(i), aEntries);
}

bool AllEntriesTicked(TTreeNode& aNode) {
  std::vector<TTreeNode*> entries;
  EntriesBelow(aNode, entries);
  for (const TTreeNode* entry : entries)
    if (!entry->Checked())
      return false;
  return true;
}

} // namespace

void TfrmSettings::LoadApplications() {
  // The ticks given in this window and not saved yet survive another file.
  std::map<std::wstring, bool> ticks;
  if (FApplications != nullptr) {
    std::vector<TTreeNode*> entries;
    EntriesBelow(*FApplications, entries);
    for (const TTreeNode* entry : entries)
      ticks[static_cast<const TFigTopic*>(entry->Data())->Name()] = entry->Checked();
    // Its nodes point at the topics the file is about to replace.
    tvPSList->Items().Delete(FApplications);
    FApplications = nullptr;
  }
  FWinapp2Source = LoadWinapp2Topics(FEngine);
  BuildApplications();
  if (FApplications != nullptr) {
    std::vector<TTreeNode*> entries;
    EntriesBelow(*FApplications, entries);
    for (TTreeNode* entry : entries)
      if (const auto tick = ticks.find(static_cast<const TFigTopic*>(entry->Data())->Name());
          tick != ticks.end())
        entry->SetChecked(tick->second);
    TickApplicationGroups();
  }
  ShowWinapp2Source(L"");
}

void TfrmSettings::BuildApplications() {
  // Categories in the order of their names, entries in the file's order.
  std::map<std::wstring, std::pair<std::wstring, std::vector<TFigTopic*>>> categories;
  for (int i = 0; i < FEngine.TopicCount(); ++i) {
    TFigTopic* topic = FEngine.GetTopic(i);
    if (topic->Category() != tcBPrivacySweep || !topic->Winapp2Entry())
      continue;
    const std::wstring category = CategoryOf(*topic);
    auto& group = categories[kplat::UpperCase(category)];
    group.first = category;
    group.second.push_back(topic);
  }
  if (categories.empty())
    return;
  TTreeNodes& nodes = tvPSList->Items();
  FApplications = &nodes.Add(AppText(L"Settings.Applications"));
  for (const auto& [key, group] : categories) {
    TTreeNode& category = nodes.AddChild(FApplications, group.first);
    for (TFigTopic* topic : group.second)
      nodes.AddChild(&category, topic->GetValue(kTopicKeyRuleCaption), topic)
          .SetChecked(GetCLSettings().GetSettingBool(L"PrivacySweep." + topic->Name()));
  }
  TickApplicationGroups();
}

bool TfrmSettings::InApplications(const TTreeNode& aNode) const {
  for (const TTreeNode* node = &aNode; node != nullptr; node = node->Parent())
    if (node == FApplications)
      return true;
  return false;
}

void TfrmSettings::TickApplicationGroups() {
  if (FApplications == nullptr)
    return;
  for (int c = 0; c < FApplications->Count(); ++c) {
    TTreeNode& category = FApplications->Item(c);
    category.SetChecked(AllEntriesTicked(category));
  }
  FApplications->SetChecked(AllEntriesTicked(*FApplications));
}

void TfrmSettings::tvPSListCheckClick(TTreeNode& aNode) {
  if (!InApplications(aNode))
    return;
  const bool tick = aNode.Checked();
  std::vector<TTreeNode*> entries;
  EntriesBelow(aNode, entries);
  for (TTreeNode* entry : entries) {
    const auto* topic = static_cast<const TFigTopic*>(entry->Data());
    const bool wasTicked = entry != &aNode && entry->Checked();
    bool take = tick;
    if (tick && !wasTicked && !topic->Winapp2Entry()->Warning.empty()) {
      TCLEngine* engine = GetCLEngine();
      take = engine != nullptr &&
             engine->ShowMessageEx(L"MsgBox.Winapp2Warning",
                                   {topic->Name(), topic->Winapp2Entry()->Warning}, false, mr::None,
                                   mb::YesNo, TMsgDlgType::mtWarning, 0) == mr::Yes;
    }
    entry->SetChecked(take);
  }
  TickApplicationGroups();
}

void TfrmSettings::btnWinapp2ChooseClick() {
  TOpenFileRequest request;
  request.Owner = this;
  request.Title = AppText(L"Winapp2.ChooseTitle");
  request.Filter = AppText(L"Winapp2.ChooseFilter");
  request.FileName = FWinapp2Source.FileName;
  std::wstring fileName;
  if (!ChooseFileToOpen(request, fileName))
    return;
  GetCLSettings().SetSettingstring(L"Winapp2.File", fileName);
  LoadApplications();
}

void TfrmSettings::btnWinapp2FetchClick() {
  TCLEngine* engine = GetCLEngine();
  if (engine == nullptr)
    return;
  if (!FWinapp2Fetch)
    FWinapp2Fetch = std::make_unique<TWinapp2Fetch>(GetCLSettings().UserDataPath(), *engine);
  btnWinapp2Fetch->SetEnabled(false);
  lblWinapp2Info->SetCaption(AppText(L"Winapp2.Fetching"));
  FWinapp2Fetch->Start([this](const std::wstring& aProblem) {
    btnWinapp2Fetch->SetEnabled(true);
    if (aProblem.empty())
      LoadApplications();
    else
      ShowWinapp2Source(aProblem);
  });
}

void TfrmSettings::ShowWinapp2Source(const std::wstring& aProblem) {
  edtWinapp2File->SetText(FWinapp2Source.FileName);
  const TCLEngine* engine = GetCLEngine();
  const std::wstring source = engine ? DescribeWinapp2Source(FWinapp2Source, *engine) : L"";
  lblWinapp2Info->SetCaption(aProblem.empty() ? source : aProblem + L" " + source);
}
