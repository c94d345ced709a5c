#pragma once
// The user's choice of topics: the four category switches and the per-topic settings, applied
// to the scan engine's topics before every scan.

#include "appengine/CLEngine.h"
#include "engine/FigEngine.h"

#include <array>

// Whether each scan category is switched on, in the order tcARegFix, tcBPrivacySweep,
// tcCJunkFile, tcDSystemOptimization.
using TFigCategorySwitches = std::array<bool, 4>;

// The switches as the settings hold them ("Switch.RegistryFix", "Switch.PrivacySweep",
// "Switch.JunkFilesClean", "Switch.SystemOptimization").
TFigCategorySwitches LoadCategorySwitches();

// Disables every topic, then enables those the user chose: in a switched-on registry, privacy or
// junk category each topic whose Boolean setting "RegFix.", "PrivacySweep." or "JunkFiles." +
// its name is true; in a switched-on optimisation category those of ApplyOptimizationProfiles.
void LoadFigEngineSettings(TFigEngine& aEngine, const TFigCategorySwitches& aSwitches);

// Enables each optimisation topic whose LEVEL (1 when missing or no number) the user's profiles
// reach and disables the others: below 10 when "SystemOptimization.CO" >= LEVEL - 2, else when
// "SystemOptimization.NO" >= LEVEL - 12.
void ApplyOptimizationProfiles(TFigEngine& aEngine);
// Whether the usage profile aUsage and the connection profile aConnection reach an optimisation
// topic of LEVEL aLevel, as ApplyOptimizationProfiles decides it.
bool OptimizationProfilesReach(int32_t aLevel, int32_t aUsage, int32_t aConnection);

// Loads the topic database aFileName into aEngine. "" when it holds topics; else what is wrong,
// naming the file, to be shown as the "{1}" of the language text "TopicDb.Error" of aTexts.
std::wstring LoadTopicDatabase(TFigEngine& aEngine, const std::wstring& aFileName,
                               const TCLEngine& aTexts);
