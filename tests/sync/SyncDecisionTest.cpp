// The decision of one pair from its sides alone, for every direction and conflict rule, and the
// resolutions of the conflict prompt.
#include "core/engine/sync/IConflictPrompt.h"
#include "core/engine/sync/TSyncDecision.h"

#include <gtest/gtest.h>

using namespace drivlet;

namespace {

constexpr TDateTime kSynced = 40000;
constexpr TDateTime kEdited = 40001;

using D = TSyncDirection;
using R = TSyncDefaultAction;
using A = TFileAction;

TFileData File(TDateTime now, TDateTime recorded) {
    TFileData file;
    file.FileName = "/x/f.txt";
    file.FileSize = 3;
    file.FileDateTime = now;
    file.OLDFileDateTime = recorded;
    return file;
}
TFileData Absent(TDateTime recorded) {
    TFileData file;
    file.OLDFileDateTime = recorded;
    return file;
}
TFilePair Pair(TFileData a, TFileData b, bool isNew = false) {
    TFilePair pair;
    pair.FileA = a;
    pair.FileB = b;
    pair.New = isNew;
    return pair;
}
TPairDecision Decide(D direction, R rule, const TFilePair& pair) {
    return TSyncDecision(direction, rule).Decide(pair);
}

} // namespace

TEST(SyncDecisionTest, BothSidesFollowTheRuleInBothDirectionsAndTheMasterOtherwise) {
    const TFilePair driveEdited = Pair(File(kEdited, kSynced), File(kSynced, kSynced));
    struct Case {
        R rule;
        A action;
        bool ask;
    };
    for (const Case c : {Case{R::sdaAsk, A::faCopyAB, true}, Case{R::sdaNothing, A::faSkip, false},
                         Case{R::sdaPCVersion, A::faCopyAB, false}, Case{R::sdaUSBVersion, A::faCopyBA, false},
                         Case{R::sdaNewVersion, A::faCopyAB, false}}) {
        const TPairDecision d = Decide(D::sdBidi, c.rule, driveEdited);
        EXPECT_EQ(d.action, c.action) << static_cast<int>(c.rule);
        EXPECT_EQ(d.ask, c.ask) << static_cast<int>(c.rule);
    }
    // "Use this USB drive's version" overwrites a change made on the computer alone.
    const TFilePair pcEdited = Pair(File(kSynced, kSynced), File(kEdited, kSynced));
    EXPECT_EQ(Decide(D::sdBidi, R::sdaPCVersion, pcEdited).action, A::faCopyAB);
    for (R rule : {R::sdaAsk, R::sdaNothing, R::sdaUSBVersion}) {
        EXPECT_EQ(Decide(D::sdPCToUSB, rule, pcEdited).action, A::faCopyAB);
        EXPECT_EQ(Decide(D::sdUSBToPC, rule, driveEdited).action, A::faCopyBA);
        EXPECT_FALSE(Decide(D::sdPCToUSB, rule, pcEdited).ask);
    }
}

TEST(SyncDecisionTest, NewestVersionTakesTheLaterDateTheComputerOnTiesAndAChangeOverNone) {
    // First sync: nothing recorded, both count as changed.
    EXPECT_EQ(TSyncDecision::NewestVersion(Pair(File(kSynced, 0), File(kSynced, 0))), A::faCopyBA);
    EXPECT_EQ(TSyncDecision::NewestVersion(Pair(File(kEdited, 0), File(kSynced, 0))), A::faCopyAB);
    EXPECT_EQ(TSyncDecision::NewestVersion(Pair(File(kSynced, 0), File(kEdited, 0))), A::faCopyBA);
    // An edit that carries an older date (a restored file) still beats the untouched side.
    EXPECT_EQ(TSyncDecision::NewestVersion(Pair(File(kSynced, kEdited), File(kEdited, kEdited))), A::faCopyAB);
}

TEST(SyncDecisionTest, FilesOnOneSideNeverSeenThereAreCopiedOrMirroredAway) {
    for (bool byRecord : {false, true}) {
        // New, or a record that never had a date on the other side (a copy that failed).
        const TFilePair onDrive = Pair(File(kSynced, 0), Absent(0), !byRecord);
        const TFilePair onPc = Pair(Absent(0), File(kSynced, 0), !byRecord);
        EXPECT_EQ(Decide(D::sdBidi, R::sdaAsk, onDrive).action, A::faCopyAB);
        EXPECT_FALSE(Decide(D::sdBidi, R::sdaAsk, onDrive).ask);
        EXPECT_EQ(Decide(D::sdBidi, R::sdaNothing, onPc).action, A::faCopyBA);
        EXPECT_EQ(Decide(D::sdPCToUSB, R::sdaAsk, onDrive).action, A::faCopyAB);
        EXPECT_EQ(Decide(D::sdPCToUSB, R::sdaAsk, onPc).action, A::faDelete);
        EXPECT_EQ(Decide(D::sdUSBToPC, R::sdaAsk, onDrive).action, A::faDelete);
        EXPECT_EQ(Decide(D::sdUSBToPC, R::sdaAsk, onPc).action, A::faCopyBA);
    }
}

TEST(SyncDecisionTest, DeletionsCarryOverUnlessTheOtherSideChanged) {
    const TFilePair goneFromPc = Pair(File(kSynced, kSynced), Absent(kSynced));
    const TFilePair goneFromDrive = Pair(Absent(kSynced), File(kSynced, kSynced));
    EXPECT_FALSE(TSyncDecision::Unchanged(goneFromPc));
    EXPECT_FALSE(TSyncDecision::Unchanged(goneFromDrive));
    EXPECT_EQ(Decide(D::sdBidi, R::sdaNewVersion, goneFromPc).action, A::faDelete);
    EXPECT_EQ(Decide(D::sdBidi, R::sdaAsk, goneFromDrive).action, A::faDelete);
    EXPECT_FALSE(Decide(D::sdBidi, R::sdaAsk, goneFromDrive).ask);
    EXPECT_EQ(Decide(D::sdPCToUSB, R::sdaAsk, goneFromPc).action, A::faSkip);
    EXPECT_EQ(Decide(D::sdPCToUSB, R::sdaAsk, goneFromDrive).action, A::faDelete);
    EXPECT_EQ(Decide(D::sdUSBToPC, R::sdaAsk, goneFromPc).action, A::faDelete);
    EXPECT_EQ(Decide(D::sdUSBToPC, R::sdaAsk, goneFromDrive).action, A::faSkip);

    // Changed on the side that still has it: copied back, asked under "Ask", never deleted.
    const TFilePair editedOnDrive = Pair(File(kEdited, kSynced), Absent(kSynced));
    const TFilePair editedOnPc = Pair(Absent(kSynced), File(kEdited, kSynced));
    EXPECT_EQ(Decide(D::sdBidi, R::sdaNewVersion, editedOnDrive).action, A::faCopyAB);
    EXPECT_EQ(Decide(D::sdBidi, R::sdaUSBVersion, editedOnDrive).action, A::faCopyAB);
    EXPECT_EQ(Decide(D::sdBidi, R::sdaPCVersion, editedOnPc).action, A::faCopyBA);
    const TPairDecision asked = Decide(D::sdBidi, R::sdaAsk, editedOnPc);
    EXPECT_EQ(asked.action, A::faCopyBA);
    EXPECT_TRUE(asked.ask);
    EXPECT_EQ(Decide(D::sdBidi, R::sdaNothing, editedOnPc).action, A::faSkip);
    EXPECT_EQ(Decide(D::sdPCToUSB, R::sdaAsk, editedOnPc).action, A::faSkip);
    EXPECT_EQ(Decide(D::sdUSBToPC, R::sdaAsk, editedOnDrive).action, A::faSkip);
}

TEST(SyncDecisionTest, UnchangedMeansBothSidesAsRecorded) {
    EXPECT_TRUE(TSyncDecision::Unchanged(Pair(File(kSynced, kSynced), File(kSynced, kSynced))));
    EXPECT_FALSE(TSyncDecision::Unchanged(Pair(File(kSynced, kSynced), File(kEdited, kSynced))));
    EXPECT_FALSE(TSyncDecision::Unchanged(Pair(File(kSynced, 0), Absent(0), true)));
}

TEST(SyncDecisionTest, ResolutionTextsAndTheirActions) {
    EXPECT_EQ(ConflictResolutionText(TConflictResolution::DoNothing), "Do nothing");
    EXPECT_EQ(ConflictResolutionText(TConflictResolution::UseComputer), "Use this computer's version");
    EXPECT_EQ(ConflictResolutionText(TConflictResolution::UseDrive), "Use this USB drive's version");
    EXPECT_EQ(ConflictResolutionText(TConflictResolution::UseNewest), "Use the newest version");
    for (auto r : {TConflictResolution::DoNothing, TConflictResolution::UseComputer,
                   TConflictResolution::UseDrive, TConflictResolution::UseNewest})
        EXPECT_EQ(ConflictResolutionFromText(ConflictResolutionText(r)), r);
    EXPECT_FALSE(ConflictResolutionFromText("Do Nothing "));

    TFilePair both = Pair(File(kEdited, 0), File(kSynced, 0));
    both.FileAction = A::faCopyAB;
    EXPECT_EQ(ResolvedAction(both, TConflictResolution::DoNothing), A::faSkip);
    EXPECT_EQ(ResolvedAction(both, TConflictResolution::UseComputer), A::faCopyBA);
    EXPECT_EQ(ResolvedAction(both, TConflictResolution::UseDrive), A::faCopyAB);
    EXPECT_EQ(ResolvedAction(both, TConflictResolution::UseNewest), A::faCopyAB);
    // Deleted on the computer, changed on the drive: the computer's "version" deletes nothing.
    TFilePair copyBack = Pair(File(kEdited, kSynced), Absent(kSynced));
    copyBack.FileB.FileName = "/pc/f.txt";
    copyBack.FileAction = A::faCopyAB;
    EXPECT_EQ(ResolvedAction(copyBack, TConflictResolution::UseComputer), A::faSkip);
    EXPECT_EQ(ResolvedAction(copyBack, TConflictResolution::UseDrive), A::faCopyAB);
}

TEST(SyncDecisionTest, ActionNamesForListings) {
    EXPECT_EQ(FileActionName(A::faCopyAB), "Copy to computer");
    EXPECT_EQ(FileActionName(A::faCopyBA), "Copy to USB drive");
    EXPECT_EQ(FileActionName(A::faDelete), "Delete");
    EXPECT_EQ(FileActionName(A::faSkip), "Skip");
}
