// A page shown over a headless model of itself: the model keeps the page's fields and rules, the
// widgets show the fields. Entering fills the model and then the widgets; leaving hands the widgets'
// values to the model, whose verdict counts. Most are step pages; `TBase` is the page's frame.
#pragma once

#include "gui/step_base_frm.h"
#include "patch/param_info.h"

namespace kestrane::gui {

template <class TModel, class TBase = TStepBaseFrm>
class TModelPage : public TBase {
  public:
    using TBase::TBase;

    TModel Model;

    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override {
        Model.Manager = this->Manager;
        const bool result = Model.EnterPage(ParamInfo);
        FromModel();
        return result;
    }
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override {
        ToModel();
        return Model.LeavePage(ParamInfo);
    }
    bool CanShow() override {
        ToModel();
        const bool result = Model.CanShow();
        FromModel();
        return result;
    }

  protected:
    // The model's fields into the widgets, and back.
    virtual void FromModel() = 0;
    virtual void ToModel() = 0;

    // A button of the page: the model acts on the widgets' values, the widgets show the outcome, and
    // an escaped error goes to the default error display.
    template <class F>
    void Act(F&& operation) {
        this->Guarded([&] {
            ToModel();
            try {
                operation();
            } catch (...) {
                FromModel();
                throw;
            }
            FromModel();
        });
    }
};

}  // namespace kestrane::gui
