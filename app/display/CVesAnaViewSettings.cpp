// The view's side of the display settings dialogs: the six settings
// commands, and the close, apply and OK messages of the dialogs.
#include "display/CVesAnaView.h"

#include "commands/CommandTable.h"
#include "display/CAnaFreqDlg.h"
#include "display/CAnaPlot.h"
#include "display/CAnaSpectDiag.h"
#include "display/CVesAnaOscDiag.h"
#include "display/DisplaySettings.h"
#include "document/CVesSoundDoc.h"

void CVesAnaView::registerSettingsCommands()
{
    auto always = CommandHandlers::Update{};
    const std::pair<int, SettingsKind> defaults[] = {{cmd::SpectSettingsDefault, SettingsKind::Spectrogram},
                                                     {cmd::OscSettingsDefault, SettingsKind::Oscillogram},
                                                     {cmd::FreqSettingsDefault, SettingsKind::ZeroCrossing}};
    const std::pair<int, SettingsKind> current[] = {{cmd::SpectSettingsCurrent, SettingsKind::Spectrogram},
                                                    {cmd::OscSettingsCurrent, SettingsKind::Oscillogram},
                                                    {cmd::FreqSettingsCurrent, SettingsKind::ZeroCrossing}};
    for (auto [id, kind] : defaults)
        m_commands.on(id, [this, kind = kind](int) { openSettings(kind, true); }, always);
    for (auto [id, kind] : current)
        m_commands.on(id, [this, kind = kind](int) { openSettings(kind, false); }, always);
}

std::int64_t CVesAnaView::effectiveRateHz() const
{
    return settingsEffectiveRate(m_doc.format().samplesPerSec, m_doc.effectiveTimeExp25());
}

CAnaSettingsDlg* CVesAnaView::settingsDialog(SettingsKind kind) const
{
    return m_settingsDlgs[static_cast<std::size_t>(kind)].data();
}

CAnaSettingsDlg* CVesAnaView::openSettings(SettingsKind kind, bool defaults)
{
    QPointer<CAnaSettingsDlg>& slot = m_settingsDlgs[static_cast<std::size_t>(kind)];
    if (slot) {
        slot->raise();
        slot->activateWindow();
        return slot.data();
    }
    const VesAnaParms& parms = defaults ? m_host.defaultAnaParms() : m_parms;
    const std::int64_t rate = effectiveRateHz();
    CAnaSettingsDlg* dlg = nullptr;
    switch (kind) {
    case SettingsKind::Spectrogram: dlg = new CAnaSpectDiag(parms, rate, defaults, m_host, this); break;
    case SettingsKind::Oscillogram: dlg = new CVesAnaOscDiag(parms, rate, defaults, this); break;
    case SettingsKind::ZeroCrossing: dlg = new CAnaFreqDlg(parms, rate, defaults, this); break;
    }
    dlg->setWindowFlag(Qt::Window);
    connect(dlg, &CAnaSettingsDlg::viewMessage, this, [this, kind](int msg) { settingsMessage(kind, msg); },
            Qt::QueuedConnection);
    slot = dlg;
    dlg->show();
    return dlg;
}

void CVesAnaView::settingsMessage(SettingsKind kind, int msg)
{
    QPointer<CAnaSettingsDlg>& slot = m_settingsDlgs[static_cast<std::size_t>(kind)];
    if (!slot)
        return;
    const auto m = static_cast<SettingsMsg>(msg);
    const bool close = m == SettingsMsg::SpectClose || m == SettingsMsg::OscClose || m == SettingsMsg::FreqClose;
    const bool ok = m == SettingsMsg::SpectOk || m == SettingsMsg::OscOk || m == SettingsMsg::FreqOk;
    if (!close) {
        const std::int64_t rate = effectiveRateHz();
        if (ok && slot->isDefaults()) {
            VesAnaParms d = m_host.defaultAnaParms();
            slot->store(d, false);
            finishSettings(d, 0);
            m_host.setDefaultAnaParms(d);
        } else {
            VesAnaParms p = m_parms;
            slot->store(p, false);
            finishSettings(p, rate);
            m_parms = p;
            relayout();
        }
    }
    if (close || ok) {
        CAnaSettingsDlg* dlg = slot.data();
        slot = nullptr;
        dlg->hide();
        dlg->deleteLater();
    }
}
