"""Przykładowy backend panelu Halvaren Tessary."""

__version__ = "0.1.0"
