#include "check/explanation_rules.h"

#include <algorithm>

const std::vector<ExplanationRule>& ExplanationRules()
{
    static const std::vector<ExplanationRule> rules{
        {QStringLiteral("shipped"), QStringLiteral("файл таков, каким его поставил пакет")},
        {QStringLiteral("conffile"), QStringLiteral("файл настройки таков, каким его поставил пакет")},
        {QStringLiteral("removed"), QStringLiteral("удален вместе с пакетом")},
        {QStringLiteral("python-bytecode"), QStringLiteral("байт-код Python файла пакета")},
        {QStringLiteral("alternative"), QStringLiteral("ссылка update-alternatives, как записан выбор")},
        {QStringLiteral("certificate-link"), QStringLiteral("ссылка на сертификат по хешу его имени")},
        {QStringLiteral("rc-link"), QStringLiteral("ссылка запуска службы пакета")},
        {QStringLiteral("ld-cache"), QStringLiteral("кэш ldconfig, собранный заново")},
    };
    return rules;
}

const ExplanationRule* FindExplanationRule(const QString& key)
{
    const auto& rules = ExplanationRules();
    const auto found = std::find_if(rules.begin(), rules.end(), [&](const ExplanationRule& rule) { return rule.key == key; });
    return found == rules.end() ? nullptr : &*found;
}

QString MachineArchitecture()
{
#if defined(__x86_64__)
    return QStringLiteral("amd64");
#elif defined(__aarch64__)
    return QStringLiteral("arm64");
#elif defined(__i386__)
    return QStringLiteral("i386");
#elif defined(__arm__)
    return QStringLiteral("armhf");
#else
    return QString();
#endif
}
