// Message boxes answered by the test: every box is recorded; an answer must be
// queued for it, otherwise the test fails (a box nobody expected).
#pragma once

#include "ui/MessageBoxes.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

using namespace orbel;

struct TShownBox {
    TMsgKind kind;
    QString caption;
    QString text;
    TMsgButtons buttons;
};

class RecordingBoxes : public IMessageBoxes {
public:
    RecordingBoxes() { SetMessageBoxes(this); }
    ~RecordingBoxes() override { SetMessageBoxes(nullptr); }

    std::vector<TShownBox> shown;
    std::deque<TMsgAnswer> answers;
    bool allowAny = false;           // answer every box with its first button
    std::function<void()> whileOpen; // runs inside the box, as a modal loop would

    TMsgAnswer Show(TMsgKind kind, const QString& caption, const QString& text,
                    TMsgButtons buttons) override {
        shown.push_back({kind, caption, text, buttons});
        if (whileOpen) {
            auto inside = whileOpen;
            inside();
        }
        if (!answers.empty()) {
            const TMsgAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        if (!allowAny) {
            ADD_FAILURE() << "unexpected box: " << text.toStdString();
        }
        switch (buttons) {
        case TMsgButtons::Cancel:
            return TMsgAnswer::Cancel;
        case TMsgButtons::Ok:
            return TMsgAnswer::Ok;
        case TMsgButtons::YesNo:
            return TMsgAnswer::No;
        }
        return TMsgAnswer::None;
    }
};
