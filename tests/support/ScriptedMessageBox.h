#pragma once
// The message box a test answers: every request is recorded, the answers come from a queue and,
// once it runs out, from a rule the test chooses.

#include "components/CLMessageBox.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class TScriptedBox : public ICLMessageBox {
public:
  TModalResult Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) override {
    Requests.push_back(aRequest);
    Texts.push_back(aRequest.Text);
    if (WhileShown)
      WhileShown(aRequest.Text);
    aFlagChecked = TickShowAgain;
    if (!Answers.empty()) {
      const TModalResult answer = Answers.front();
      Answers.pop_front();
      return answer;
    }
    return DeclineQuestions && aRequest.Buttons == mb::YesNo ? mr::No : Unscripted;
  }

  bool Asked(const std::wstring& aText) const {
    return std::find(Texts.begin(), Texts.end(), aText) != Texts.end();
  }
  std::wstring Last() const { return Texts.empty() ? std::wstring() : Texts.back(); }

  // Every request in turn, and its text alone.
  std::vector<TCLMessageRequest> Requests;
  std::vector<std::wstring> Texts;
  // The answers of the next boxes, in turn.
  std::deque<TModalResult> Answers;
  // The answer once the queue is empty; a Yes/No question gets No instead when DeclineQuestions.
  TModalResult Unscripted = mr::OK;
  bool DeclineQuestions = false;
  // Whether the user ticks "do not display this message again".
  bool TickShowAgain = false;
  // What happens while a box is on the screen (its modal loop serves the timers).
  std::function<void(const std::wstring& aText)> WhileShown;
};
