// Chain and summary texts of a posterior sample.

#include "output/PosteriorText.h"

#include <cmath>
#include <cstdio>

#include "fit/PosteriorSampling.h"

namespace korvel {

namespace {

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string Short(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

std::string McmcChainText(const PosteriorSample& sample) {
    const SamplerChain& chain = sample.Chain;
    // Appended piece by piece: chains of operator+ on temporaries draw a false
    // -Wrestrict from some compilers at high optimisation.
    std::string text = "step,walker";
    for (const PosteriorParameter& parameter : sample.Parameters) {
        text += ',';
        text += parameter.Name;
    }
    text += ",log_likelihood\n";
    for (int s = 0; s < chain.Steps; ++s) {
        for (int w = 0; w < chain.Walkers; ++w) {
            text += std::to_string(s + 1);
            text += ',';
            text += std::to_string(w + 1);
            for (int k = 0; k < chain.Dimension; ++k) {
                text += ',';
                text += Number(chain.At(s, w, k));
            }
            text += ',';
            text += Number(chain.LogDensity[static_cast<std::size_t>(s) * chain.Walkers + w]);
            text += '\n';
        }
    }
    return text;
}

std::string PosteriorSummaryText(const PosteriorSample& sample) {
    const SamplerChain& chain = sample.Chain;
    std::string text = "posterior (" + std::to_string(chain.Walkers) + " walkers, " +
                       std::to_string(chain.Steps) + " steps, first " +
                       std::to_string(sample.Burn) + " left out; units of the model file):\n";
    for (const PosteriorParameter& p : sample.Parameters) {
        text += "  ";
        text += p.Name;
        text += " = ";
        text += Short(p.Median);
        text += "  68%: [";
        text += Short(p.Lower68);
        text += ", ";
        text += Short(p.Upper68);
        text += "]  95%: [";
        text += Short(p.Lower95);
        text += ", ";
        text += Short(p.Upper95);
        text += "]  tau ";
        text += std::isfinite(p.AutocorrelationTime) ? Short(p.AutocorrelationTime) : "n/a";
        text += " steps\n";
    }
    text += "  acceptance fraction " + Short(sample.Acceptance) + "\n";
    if (sample.ChainTooShort)
        text += "warning: the chain is too short for reliable intervals: fewer than 50 "
                "autocorrelation times were kept; run more steps\n";
    return text;
}

}  // namespace korvel
