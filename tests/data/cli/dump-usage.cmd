dump
