// Early return of errors from Result-returning calls, in the style of abseil's
// ASSIGN_OR_RETURN: the only macros of the library.
#pragma once

#include <expected>
#include <utility>

#define QP_CONCAT_INNER(a, b) a##b
#define QP_CONCAT(a, b) QP_CONCAT_INNER(a, b)

// `QP_ASSIGN_OR_RETURN(auto x, f());` declares x from f()'s value or returns its error.
#define QP_ASSIGN_OR_RETURN(lhs, expr) \
  QP_ASSIGN_OR_RETURN_IMPL(QP_CONCAT(qp_result_, __LINE__), lhs, expr)
#define QP_ASSIGN_OR_RETURN_IMPL(tmp, lhs, expr)            \
  auto tmp = (expr);                                        \
  if (!tmp) return std::unexpected(std::move(tmp).error()); \
  lhs = std::move(*tmp)

// `QP_RETURN_IF_ERROR(f());` returns f()'s error, if any.
#define QP_RETURN_IF_ERROR(expr)                            \
  do {                                                      \
    if (auto qp_status = (expr); !qp_status) {              \
      return std::unexpected(std::move(qp_status).error()); \
    }                                                       \
  } while (false)
