#include "check/explanation_text.h"

#include "check/explanation_rules.h"

QString PackageChangeText(const Explanation& explanation)
{
    QString package = QStringLiteral("пакет ") + explanation.package;
    if (!explanation.architecture.isEmpty() && explanation.architecture != MachineArchitecture()
        && explanation.architecture != u"all")
        package += u':' + explanation.architecture;
    if (explanation.from.isEmpty())
        return package + QStringLiteral(" установлен (") + explanation.to + u')';
    if (explanation.to.isEmpty())
        return package + QStringLiteral(" удален (был ") + explanation.from + u')';
    return package + u' ' + explanation.from + QStringLiteral(" → ") + explanation.to;
}

QString ExplanationText(const Explanation& explanation)
{
    const ExplanationRule* rule = FindExplanationRule(explanation.rule);
    return QStringLiteral("объяснено: ") + PackageChangeText(explanation) + QStringLiteral(", ")
           + (rule ? rule->text : explanation.rule) + QStringLiteral(", ")
           + (explanation.verified ? QStringLiteral("проверено по архиву") : QStringLiteral("по записям этой машины"));
}
