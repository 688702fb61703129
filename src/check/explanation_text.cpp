#include "check/explanation_text.h"

#include "check/check_report.h"
#include "check/explanation_rules.h"

#include <map>
#include <tuple>

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

QStringList ExplainedPackageLines(const CheckReport& report)
{
    std::map<std::tuple<QString, QString, QString, QString>, std::pair<Explanation, qsizetype>> packages;
    for (const Finding& finding : report.findings) {
        if (!finding.explanation)
            continue;
        const Explanation& e = *finding.explanation;
        auto& counted = packages[{e.package, e.architecture, e.from, e.to}];
        counted.first = e;
        ++counted.second;
    }
    QStringList lines;
    for (const auto& [key, counted] : packages)
        lines.append(PackageChangeText(counted.first) + QStringLiteral(": ") + FileCount(counted.second));
    return lines;
}

QString FileCount(qsizetype count)
{
    const qsizetype tens = count % 100;
    const qsizetype ones = count % 10;
    const char16_t* word = u"файлов";
    if (tens < 11 || tens > 14) {
        if (ones == 1)
            word = u"файл";
        else if (ones >= 2 && ones <= 4)
            word = u"файла";
    }
    return QString::number(count) + u' ' + QString::fromUtf16(word);
}
