#pragma once
// The XML namespace of the cameras' configuration documents. The network settings body
// and both password bodies carry the same URI, so it is defined once here.

inline constexpr char kConfigNamespace[] = "http://www.zephyrlock.com/ver10";
