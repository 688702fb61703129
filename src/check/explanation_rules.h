#pragma once

#include <QString>

#include <vector>

// A way the package manager changes files, and the evidence that a change was
// made that way. The README's table of rules is this one.
struct ExplanationRule {
    QString key;  // as the JSON's explanation gives it
    QString text; // as the text reports give it
};

// Every rule, in the order they are tried.
const std::vector<ExplanationRule>& ExplanationRules();
const ExplanationRule* FindExplanationRule(const QString& key);

// dpkg's name of the architecture this program was built for ("amd64").
QString MachineArchitecture();
