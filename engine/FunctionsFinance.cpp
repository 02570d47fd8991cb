// The financial functions of VBA: annuities (Pmt, FV, PV, NPer, Rate, IPmt,
// PPmt) and depreciation (DDB, SLN, SYD). Money paid out is negative, as
// VBA counts it; a Null argument is error 94, an impossible one error 5.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/FunctionArgs.h"

namespace engine::detail {

namespace {

constexpr int kPure = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

// Reads `argc` numeric arguments, the optional ones as 0 when left out.
bool numbers(sqlite3_context* ctx, int argc, sqlite3_value** argv, const char* function,
             std::vector<double>& out, std::size_t total) {
    out.assign(total, 0.0);
    for (int i = 0; i < argc && static_cast<std::size_t>(i) < total; ++i) {
        auto n = numberArg(ctx, argv[i], function);
        if (!n) return false;
        out[static_cast<std::size_t>(i)] = *n;
    }
    return true;
}

// The due argument of the annuities: payments at the end of each period
// (0) or, for any other value, at its beginning.
double due(double type) {
    return type != 0 ? 1.0 : 0.0;
}

void result(sqlite3_context* ctx, double value, const char* function) {
    if (!std::isfinite(value)) {
        return resultInvalidCall(ctx, std::string(function) + " has no answer for these arguments");
    }
    sqlite3_result_double(ctx, value == 0 ? 0.0 : value);  // never -0
}

double fv(double rate, double nper, double pmt, double pv, double type) {
    if (rate == 0) return -(pv + pmt * nper);
    const double growth = std::pow(1 + rate, nper);
    return -(pv * growth + pmt * (1 + rate * type) * (growth - 1) / rate);
}

double pmt(double rate, double nper, double pv, double fv, double type) {
    if (rate == 0) return -(pv + fv) / nper;
    const double growth = std::pow(1 + rate, nper);
    return -(fv + pv * growth) * rate / ((1 + rate * type) * (growth - 1));
}

double ipmt(double rate, double per, double nper, double pv, double fv0, double type) {
    const double payment = pmt(rate, nper, pv, fv0, type);
    double interest;
    if (per == 1)
        interest = type != 0 ? 0 : -pv;
    else if (type != 0)
        interest = fv(rate, per - 2, payment, pv, 1) - payment;
    else
        interest = fv(rate, per - 1, payment, pv, 0);
    return interest * rate;
}

// Pmt(rate, nper, pv[, fv[, type]]).
void fnPmt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!numbers(ctx, argc, argv, "Pmt", a, 5)) return;
    if (a[1] == 0) return resultInvalidCall(ctx, "Pmt needs a number of periods other than 0");
    result(ctx, pmt(a[0], a[1], a[2], a[3], due(a[4])), "Pmt");
}

// FV(rate, nper, pmt[, pv[, type]]).
void fnFV(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!numbers(ctx, argc, argv, "FV", a, 5)) return;
    result(ctx, fv(a[0], a[1], a[2], a[3], due(a[4])), "FV");
}

// PV(rate, nper, pmt[, fv[, type]]).
void fnPV(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!numbers(ctx, argc, argv, "PV", a, 5)) return;
    const double rate = a[0], nper = a[1], payment = a[2], future = a[3], type = due(a[4]);
    if (rate == 0) return result(ctx, -(future + payment * nper), "PV");
    const double growth = std::pow(1 + rate, nper);
    result(ctx, -(future + payment * (1 + rate * type) * (growth - 1) / rate) / growth, "PV");
}

// NPer(rate, pmt, pv[, fv[, type]]).
void fnNPer(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!numbers(ctx, argc, argv, "NPer", a, 5)) return;
    const double rate = a[0], payment = a[1], present = a[2], future = a[3], type = due(a[4]);
    if (rate == 0) {
        if (payment == 0)
            return resultInvalidCall(ctx, "NPer needs a payment other than 0 when the rate is 0");
        return result(ctx, -(present + future) / payment, "NPer");
    }
    const double paid = payment * (1 + rate * type);
    result(ctx, std::log((paid - future * rate) / (paid + present * rate)) / std::log(1 + rate),
           "NPer");
}

// What is left of a loan at `rate`, counted back to today; zero at the rate
// Rate seeks. Counted back it stays finite for every rate above -1, where
// the balance at the end overflows within a few hundred periods, and
// expm1/log1p keep its digits for rates near 0.
double presentBalance(double rate, double nper, double payment, double present, double future,
                      double type) {
    if (rate == 0) return present + payment * nper + future;
    const double growth = nper * std::log1p(rate);
    const double discount = std::exp(-growth);
    const double annuity = -std::expm1(-growth) / rate;
    return present + payment * (1 + rate * type) * annuity + future * discount;
}

// Rate(nper, pmt, pv[, fv[, type[, guess]]]): Newton's method from the
// guess (10 % when left out). A step that would pass -1, where no rate can
// be, or leave the balance further from 0 is halved until it does neither,
// so a guess far from the rate still finds it; error 5 when none is found.
void fnRate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!numbers(ctx, argc, argv, "Rate", a, 6)) return;
    const double nper = a[0], payment = a[1], present = a[2], future = a[3], type = due(a[4]);
    if (nper <= 0) return resultInvalidCall(ctx, "Rate needs a number of periods above 0");
    if (argc >= 6 && a[5] <= -1) return resultInvalidCall(ctx, "Rate needs a guess above -1");
    const auto balance = [&](double r) {
        return presentBalance(r, nper, payment, present, future, type);
    };
    double rate = argc >= 6 ? a[5] : 0.1;
    double f = balance(rate);
    for (int i = 0; i < 1000 && std::isfinite(f); ++i) {
        // A balance that no rate changes (nothing lent, paid or owed) has
        // no rate of its own.
        const double h = (1 + std::fabs(rate)) * 1e-7;
        const double slope = (balance(rate + h) - balance(rate - h)) / (2 * h);
        if (slope == 0 || !std::isfinite(slope)) break;
        if (f == 0) return result(ctx, rate, "Rate");
        double step = f / slope, next = rate, nextF = f;
        int halvings = 0;
        for (; halvings < 60; ++halvings, step /= 2) {
            next = rate - step;
            if (next <= -1) continue;
            nextF = balance(next);
            if (std::isfinite(nextF) && std::fabs(nextF) < std::fabs(f)) break;
        }
        if (halvings == 60) break;
        if (std::fabs(next - rate) < 1e-12 * (1 + std::fabs(next))) {
            return result(ctx, next, "Rate");
        }
        rate = next;
        f = nextF;
    }
    resultInvalidCall(ctx, "Rate found no rate for these payments; give another guess");
}

// IPmt and PPmt(rate, per, nper, pv[, fv[, type]]).
bool periodArgs(sqlite3_context* ctx, int argc, sqlite3_value** argv, const char* function,
                std::vector<double>& a) {
    if (!numbers(ctx, argc, argv, function, a, 6)) return false;
    a[5] = due(a[5]);
    if (a[1] < 1 || a[1] > a[2]) {
        resultInvalidCall(
            ctx, std::string(function) + " needs a period from 1 to the number of periods");
        return false;
    }
    return true;
}

void fnIPmt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!periodArgs(ctx, argc, argv, "IPmt", a)) return;
    result(ctx, ipmt(a[0], a[1], a[2], a[3], a[4], a[5]), "IPmt");
}

void fnPPmt(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!periodArgs(ctx, argc, argv, "PPmt", a)) return;
    result(ctx, pmt(a[0], a[2], a[3], a[4], a[5]) - ipmt(a[0], a[1], a[2], a[3], a[4], a[5]),
           "PPmt");
}

// Depreciation arguments: cost and salvage of 0 or more, a life above 0 and
// a period within it.
bool depreciationArgs(sqlite3_context* ctx, int argc, sqlite3_value** argv, const char* function,
                      std::vector<double>& a, std::size_t total) {
    if (!numbers(ctx, argc, argv, function, a, total)) return false;
    const bool period = total >= 4;
    if (a[0] < 0 || a[1] < 0 || a[2] <= 0 || (period && (a[3] <= 0 || a[3] > a[2]))) {
        resultInvalidCall(
            ctx,
            std::string(function) +
                " needs a cost and salvage of 0 or more, a life above 0 and a period within it");
        return false;
    }
    return true;
}

// DDB(cost, salvage, life, period[, factor]): double-declining balance,
// never below the salvage value. The balance after p periods is
// cost * (1 - factor / life)^p for any p, so a fractional period (the half
// year an asset was bought in) gets its share of the year it falls in.
void fnDDB(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!depreciationArgs(ctx, argc, argv, "DDB", a, 5)) return;
    const double cost = a[0], salvage = a[1], life = a[2], period = a[3];
    const double factor = argc >= 5 ? a[4] : 2;
    if (factor <= 0) return resultInvalidCall(ctx, "DDB needs a factor above 0");
    const double rate = std::min(factor / life, 1.0);
    const double before =
        rate == 1.0 ? (period <= 1 ? cost : 0.0) : cost * std::pow(1 - rate, period - 1);
    const double after = cost * std::pow(1 - rate, period);
    result(ctx, std::max(0.0, before - std::max(after, salvage)), "DDB");
}

// SLN(cost, salvage, life): straight line.
void fnSLN(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!numbers(ctx, argc, argv, "SLN", a, 3)) return;
    if (a[2] == 0) return resultInvalidCall(ctx, "SLN needs a life other than 0");
    result(ctx, (a[0] - a[1]) / a[2], "SLN");
}

// SYD(cost, salvage, life, period): sum of the years' digits.
void fnSYD(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    std::vector<double> a;
    if (!depreciationArgs(ctx, argc, argv, "SYD", a, 4)) return;
    const double life = a[2];
    result(ctx, (a[0] - a[1]) * (life - a[3] + 1) * 2 / (life * (life + 1)), "SYD");
}

const SqlFunction kFinanceFunctions[] = {
    {"vx_pmt", -1, kPure, fnPmt},   {"vx_fv", -1, kPure, fnFV},     {"vx_pv", -1, kPure, fnPV},
    {"vx_nper", -1, kPure, fnNPer}, {"vx_rate", -1, kPure, fnRate}, {"vx_ipmt", -1, kPure, fnIPmt},
    {"vx_ppmt", -1, kPure, fnPPmt}, {"vx_ddb", -1, kPure, fnDDB},   {"vx_sln", 3, kPure, fnSLN},
    {"vx_syd", 4, kPure, fnSYD},
};

}  // namespace

std::span<const SqlFunction> financeFunctions() {
    return kFinanceFunctions;
}

}  // namespace engine::detail
