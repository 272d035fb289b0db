// The status page: its cards built at design coordinates, and the snapshot mapped onto them.
#include "ui/StatusPage.h"

#include "engine/AgentNotice.h"
#include "platform/Clock.h"
#include "ui/AgentUi.h"
#include "ui/UiControls.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLocale>
#include <QPalette>

#include <cmath>
#include <cstdlib>

namespace pavona {
namespace {

constexpr QRgb kInk = 0x0F1F2E;   // figures
constexpr QRgb kBody = 0x4B5B63;  // running text
constexpr QRgb kRed = 0xC0392B;   // over budget, failures
constexpr QRgb kAmber = 0xC27C0E; // caution, waiting lines

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

void SetInk(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    label->setPalette(palette);
}

std::int64_t WholeDays(TDateTime t) {
    return static_cast<std::int64_t>(std::floor(t));
}

bool SameDay(TDateTime a, TDateTime b) {
    return WholeDays(a) == WholeDays(b);
}

} // namespace

QColor LevelColour(TLimitLevel level) {
    switch (level) {
    case TLimitLevel::Normal:
        return QColor(kUiGreen);
    case TLimitLevel::Caution:
        return QColor(kAmber);
    case TLimitLevel::Imminent:
    case TLimitLevel::Exhausted:
    case TLimitLevel::Disabled:
        return QColor(kRed);
    default:
        return QColor(kUiMuted);
    }
}

TConnectionLook ConnectionLook(const TAgentSnapshot& s, const std::string& store) {
    if (store.empty()) return {"설정이 아직 비어 있습니다", "등록 전", QColor(kAmber)};
    if (!s.PolicyError.empty())
        return {"협회 서버 — " + Q(StripMarks(s.PolicyError)), "협회 연결 안 됨", QColor(0xFF6B6B)};
    if (s.PolicyAt != 0)
        return {"협회 서버 " + Q(FormatDateTime("hh:nn", s.PolicyAt)) + " 확인", "협회 연결됨",
                QColor(0x7AD271)};
    return {"협회 서버를 확인하는 중입니다", "협회 서버 확인 중", QColor(kUiMuted)};
}

QString StoreTitle(const TAgentSnapshot& s, const std::string& store) {
    if (!s.PointLabel.empty()) return Q(s.PointLabel) + (store.empty() ? "" : "   ·   사업자 " + Q(store));
    if (!store.empty()) return "사업자 " + Q(store) + " — 협회 확인 전";
    return "아직 등록하지 않았습니다 — 「설정」 에서 등록 코드를 넣어 주세요";
}

QString NavBadge(TLimitLevel level) {
    const int n = static_cast<int>(level);
    if (n >= static_cast<int>(TLimitLevel::Caution) && n <= static_cast<int>(TLimitLevel::Disabled))
        return Q(LevelText(level));
    return {};
}

QString NextRunLine(const TAgentSnapshot& s) {
    const auto at = [](TDateTime t) { return t <= 0 ? QString("—") : Q(FormatDateTime("hh:nn", t)); };
    return QString("다음 수집 %1  ·  다음 정책 확인 %2  ·  지금 주기 %3분(피크 %4분)")
        .arg(at(s.NextCollectAt), at(s.NextPolicyAt))
        .arg(s.CollectMinutes)
        .arg(s.CollectMinutes * 3);
}

QString ProgramLine(const TAgentSnapshot& s, TDateTime today) {
    // A policy that names no programme says so; before any policy the line keeps its text.
    if (s.PolicyAt != 0 && s.ProgramName.empty()) return "지금 열린 농할 회차가 없습니다";
    if (s.ProgramEnd <= 0 || s.ProgramName.empty()) return {};
    const std::int64_t d = WholeDays(s.ProgramEnd) - WholeDays(today);
    const QString tail = d < 0    ? QString("끝남")
                         : d == 0 ? QString("오늘 끝남")
                                  : QString::number(d) + "일 남음";
    return QString("%1 · %2 ~ %3 · %4")
        .arg(Q(s.ProgramName), Q(FormatDateTime("mm-dd", s.ProgramStart)),
             Q(FormatDateTime("mm-dd", s.ProgramEnd)), tail);
}

QString AssociationPageUrl(const std::string& baseUrl) {
    QString base = Q(baseUrl).trimmed();
    while (base.endsWith('/'))
        base.chop(1);
    return base.isEmpty() ? QString() : base + "/mart";
}

TNoticeLook NoticeLook(TNoticeLevel level) {
    switch (level) {
    case TNoticeLevel::Stop:
        return {QColor(0xFCEDEC), QColor(0xF0C0B9), QColor(kRed)};
    // An error stops nothing for good, so it is dressed as a warning: red is kept for a stop.
    case TNoticeLevel::Error:
    case TNoticeLevel::Warning:
        return {QColor(0xFDF6E3), QColor(0xF2D998), QColor(0x8A5A09)};
    default:
        return {QColor(kUiWhite), QColor(kUiLine), QColor(kBody)};
    }
}

TStatusPage::TStatusPage(int cardWidth, std::function<void()> askSend, QWidget* parent, TOpener opener)
    : QWidget(parent), FAskSend(std::move(askSend)), FOpener(std::move(opener)) {
    setObjectName("statusPage");
    if (!FOpener) FOpener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    FCardWidth = cardWidth;
    Build();
}

void TStatusPage::Build() {
    SetBoundsScaled(this, 0, 0, FCardWidth + 56, 600);
    BuildHero(FCardWidth);
    BuildBudget(FCardWidth);
    BuildSend(FCardWidth);
    BuildNotice(FCardWidth);
}

void TStatusPage::SetCardWidth(int cardWidth) {
    if (cardWidth == FCardWidth) return;
    FCardWidth = cardWidth;
    // Every label's width follows the card's, so the cards are made anew rather than stretched.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        delete child;
    Build();
    if (!FProgramText.isEmpty()) FProgramLabel->setText(FProgramText);
    if (FLast) Render(*FLast);
    if (FNoticeShown) ShowNotice(FLastNotice);
    if (FSending) {
        FSendBtn->SetText("보내는 중…");
        FSendBtn->setEnabled(false);
    }
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->show();
}

void TStatusPage::BuildHero(int w) {
    FHero = new TUiCard(this);
    FHero->setObjectName("hero");
    SetBoundsScaled(FHero, 28, 24, w, 124);
    FHero->SetAccent(QColor(kUiMuted));
    FLevelLabel = MakeLabel(FHero, 34, 18, 320, 46, "확인 중", 26, QColor(kUiMuted), true);
    FLevelLabel->setObjectName("level");
    FAdviceLabel = MakeLabel(FHero, 34, 70, w - 364, 48, "", 11, QColor(kBody), false, true);
    FAdviceLabel->setObjectName("advice");
    QLabel* caption = MakeLabel(FHero, w - 300, 22, 276, 22, "남은 한도", 10, QColor(kUiMuted));
    caption->setAlignment(Qt::AlignRight | Qt::AlignTop);
    FRemainLabel = MakeLabel(FHero, w - 360, 48, 336, 46, "—", 24, QColor(kInk), true);
    FRemainLabel->setObjectName("remain");
    FRemainLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
}

void TStatusPage::BuildBudget(int w) {
    auto* card = new TUiCard(this);
    card->setObjectName("budgetCard");
    SetBoundsScaled(card, 28, 164, w, 164);
    const int a = (w - 48) / 3;
    const char* captions[] = {"이번 회차 배정액", "사용한 지원액", "사용률"};
    const char* names[] = {"budget", "used", "percent"};
    QLabel** values[] = {&FBudgetLabel, &FUsedLabel, &FPercentLabel};
    for (int i = 0; i < 3; ++i) {
        MakeLabel(card, 24 + a * i, 18, a, 22, captions[i], 10, QColor(kUiMuted));
        *values[i] = MakeLabel(card, 24 + a * i, 42, a, 36, "—", 17, QColor(kInk), true);
        (*values[i])->setObjectName(names[i]);
    }
    FBar = new TUiMeter(card);
    FBar->setObjectName("meter");
    SetBoundsScaled(FBar, 24, 90, w - 48, 12);
    FProgramLabel = MakeLabel(card, 24, 112, w - 48, 24, "회차 —", 10, QColor(kBody));
    FProgramLabel->setObjectName("program");
    FBudgetNote = MakeLabel(card, 24, 136, w - 48, 22, "", 9, QColor(kUiMuted));
    FBudgetNote->setObjectName("budgetNote");
}

void TStatusPage::BuildSend(int w) {
    auto* card = new TUiCard(this);
    card->setObjectName("sendCard");
    SetBoundsScaled(card, 28, 344, w, 156);
    MakeLabel(card, 24, 18, 260, 26, "실적 보내기", 13, QColor(kInk), false, false, true);
    FConnLabel = MakeLabel(card, 176, 22, w - 376, 22, "협회 서버 —", 10, QColor(kUiMuted));
    FConnLabel->setObjectName("connection");
    FSendBtn = new TUiButton(card);
    FSendBtn->setObjectName("sendNow");
    FSendBtn->SetKind(TUiButtonKind::Primary);
    FSendBtn->SetText("지금 보내기");
    SetBoundsScaled(FSendBtn, w - 184, 12, 160, 42);
    connect(FSendBtn, &TUiClickable::clicked, this, &TStatusPage::SendNowClick);
    const int c = (w - 48) / 4;
    const char* captions[] = {"마지막 수집", "오늘 보낸 실적", "보낼 대기", "POS 연결"};
    for (int i = 0; i < 4; ++i) {
        const int x = 24 + c * i;
        MakeLabel(card, x, 58, c - 8, 22, captions[i], 10, QColor(kUiMuted));
        FTileValue[i] = MakeLabel(card, x, 82, c - 8, 34, "—", 16, QColor(kInk), true);
        FTileValue[i]->setObjectName(QString("tileValue%1").arg(i));
        FTileSub[i] = MakeLabel(card, x, 120, c - 8, 22, "", 9, QColor(kUiMuted));
        FTileSub[i]->setObjectName(QString("tileSub%1").arg(i));
    }
}

void TStatusPage::BuildNotice(int w) {
    FNotice = new TUiCard(this);
    FNotice->setObjectName("notice");
    SetBoundsScaled(FNotice, 28, 516, w, 60);
    FLastLabel =
        MakeLabel(FNotice, 22, 0, w - 214, 60, "아직 수집하지 않았습니다.", 10, QColor(kBody), false, true);
    FLastLabel->setObjectName("lastNotice");
    FLastLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FLinkBtn = new TUiButton(FNotice);
    FLinkBtn->setObjectName("associationLink");
    FLinkBtn->SetKind(TUiButtonKind::Link);
    FLinkBtn->SetText("협회 화면 열기");
    SetBoundsScaled(FLinkBtn, w - 178, 10, 160, 40);
    connect(FLinkBtn, &TUiClickable::clicked, this, &TStatusPage::OpenAssociationPage);
}

void TStatusPage::SetSettings(const std::string& store, const std::string& baseUrl) {
    FStore = store;
    FBaseUrl = baseUrl;
}

void TStatusPage::Render(const TAgentSnapshot& s) {
    FLast = s;
    const TLimitState& st = s.State;
    const QColor colour = LevelColour(st.Level);
    FLevelLabel->setText(Q(LevelText(st.Level)));
    SetInk(FLevelLabel, colour);
    FHero->SetAccent(colour);
    FBar->SetBarColor(colour);

    QString advice = Q(StripMarks(LevelAdvice(st.Level)));
    if (advice.isEmpty() && st.Level == TLimitLevel::Normal)
        advice = "한도 안에서 농할 할인을 그대로 진행하시면 됩니다.";
    FAdviceLabel->setText(advice);
    FBar->SetPosition(st.Percent);

    if (s.Input.HasPolicy) {
        FBudgetLabel->setText(Q(FormatWon(s.Input.Allocated)));
        FUsedLabel->setText(Q(FormatWon(st.Used)));
        FPercentLabel->setText(QString::number(st.Percent) + "%");
        if (st.Over > 0) {
            FRemainLabel->setText(Q(FormatWon(st.Over)) + " 초과");
            SetInk(FRemainLabel, QColor(kRed));
        } else {
            FRemainLabel->setText(Q(FormatWon(st.Remaining)));
            SetInk(FRemainLabel, QColor(kInk));
        }
        QString note;
        if (s.Input.OffsetOutstanding > 0)
            note += "배정액에서 상계 예정 " + Q(FormatWon(s.Input.OffsetOutstanding)) + " 을 뺐습니다.  ";
        if (s.Input.UnreportedLocal > 0)
            note +=
                "사용액에 아직 보내지 않은 " + Q(FormatWon(s.Input.UnreportedLocal)) + " 을 포함했습니다.";
        FBudgetNote->setText(note);
    } else {
        for (QLabel* label : {FBudgetLabel, FUsedLabel, FPercentLabel, FRemainLabel})
            label->setText("—");
        SetInk(FRemainLabel, QColor(kInk));
        FBudgetNote->clear();
    }

    const QString program = ProgramLine(s, Today());
    if (!program.isEmpty()) {
        FProgramText = program;
        FProgramLabel->setText(program);
    }
    FConnLabel->setText(ConnectionLook(s, FStore).Line);
    RefreshStatus(s);
    FHero->update();
}

void TStatusPage::RefreshStatus(const TAgentSnapshot& s) {
    // The newest state, for a rebuild; Render passes its own copy in here.
    if (!FLast || &*FLast != &s) FLast = s;
    const TDateTime now = Now();
    if (s.LastCollectAt != 0) {
        FTileValue[0]->setText(Q(FormatDateTime("hh:nn", s.LastCollectAt)));
        const std::int64_t m = std::llabs(ToMSecs(now) - ToMSecs(s.LastCollectAt)) / 60000;
        if (m == 0)
            FTileSub[0]->setText("방금");
        else if (m < 60)
            FTileSub[0]->setText(QString::number(m) + "분 전");
        else
            FTileSub[0]->setText(Q(FormatDateTime("mm-dd", s.LastCollectAt)) + " · " +
                                 QString::number(m / 60) + "시간 전");
    } else {
        FTileValue[0]->setText("—");
        FTileSub[0]->setText("아직 읽지 않았습니다");
    }

    // A count of another day is yesterday's: after midnight the tile starts again at 0 even before
    // the engine has rolled its own counter over.
    const std::int64_t sent = SameDay(s.SentDay, now) ? s.SentToday : 0;
    FTileValue[1]->setText(QLocale(QLocale::English).toString(static_cast<qlonglong>(sent)) + "줄");
    if (s.LastSendAt != 0 && SameDay(s.LastSendAt, now))
        FTileSub[1]->setText(Q(FormatDateTime("hh:nn", s.LastSendAt)) + " 협회가 받음");
    else
        FTileSub[1]->setText("오늘 아직 보내지 않음");

    const auto waiting = static_cast<qlonglong>(s.PendingDays.size());
    if (waiting > 0) {
        FTileValue[2]->setText(QString::number(waiting) + "일치");
        SetInk(FTileValue[2], QColor(kAmber));
        FTileSub[2]->setText("이 PC 에 보관 · 다시 보냅니다");
    } else {
        FTileValue[2]->setText("없음");
        SetInk(FTileValue[2], QColor(kInk));
        FTileSub[2]->setText("모두 보냈습니다");
    }

    switch (s.PosState) {
    case TPosState::Read:
        FTileValue[3]->setText("정상");
        SetInk(FTileValue[3], QColor(kUiGreen));
        FTileSub[3]->setText("읽기 전용");
        break;
    case TPosState::Failed:
        FTileValue[3]->setText("실패");
        SetInk(FTileValue[3], QColor(kRed));
        FTileSub[3]->setText("설정에서 연결 시험");
        break;
    default:
        FTileValue[3]->setText("—");
        SetInk(FTileValue[3], QColor(kInk));
        FTileSub[3]->setText("아직 읽지 않았습니다");
        break;
    }
}

void TStatusPage::ShowNotice(const TNotice& notice) {
    FLastNotice = notice;
    FNoticeShown = true;
    const TNoticeLook look = NoticeLook(notice.Level);
    FNotice->SetBorder(look.Border);
    FNotice->SetFill(look.Fill);
    SetInk(FLastLabel, look.Ink);
    FLastLabel->setText(Q(StripMarks(notice.Text)));
    FNotice->update();
}

void TStatusPage::SendNowClick() {
    // The button is disabled while a send runs, but a click queued before that must not ask twice.
    if (FSending) return;
    FSending = true;
    FSendBtn->SetText("보내는 중…");
    FSendBtn->setEnabled(false);
    if (FAskSend) FAskSend();
}

void TStatusPage::SendNowDone() {
    FSending = false;
    FSendBtn->SetText("지금 보내기");
    FSendBtn->setEnabled(true);
}

void TStatusPage::OpenAssociationPage() {
    const QString url = AssociationPageUrl(FBaseUrl);
    if (!url.isEmpty()) FOpener(QUrl(url));
}

} // namespace pavona
